// Process-wide state of the test instrumentation: the call log, the armed faults, the
// adapter identity, the query behaviour and the live-object count.
//
// The log keeps at most kMaxRecords records; when a record would exceed that, the oldest
// half is dropped first, so a long run with logging on keeps the most recent calls.
#include "springdrop/d3d9/instrumentation.h"

#include "springdrop/d3d9/call_recorder.h"
#include "springdrop/d3d9/device.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>

namespace d3d9sw {
namespace {

constexpr std::size_t kMaxRecords = 1000000;
constexpr DWORD kDefaultVendorId = 0x5344;
constexpr DWORD kDefaultDeviceId = 0x0001;

struct MethodFault {
    std::string method;
    HRESULT code;
    unsigned skip;
    unsigned count;
};

struct IndexFault {
    std::uint64_t callNumber;
    HRESULT code;
};

struct InstrumentationState {
    std::vector<CallRecord> log;
    bool loggingEnabled = false;
    std::uint64_t callsSoFar = 0;
    std::vector<MethodFault> methodFaults;
    std::vector<IndexFault> indexFaults;
    bool direct3DCreateFails = false;
    DWORD vendorId = kDefaultVendorId;
    DWORD deviceId = kDefaultDeviceId;
    std::uint32_t queryPendingPolls = 0;
    int liveObjects = 0;
};

InstrumentationState& State() {
    static InstrumentationState state;
    return state;
}

bool TakeIndexFault(InstrumentationState& state, std::uint64_t callNumber, internal::Failable failable,
                    HRESULT* code) {
    auto hit = std::find_if(state.indexFaults.begin(), state.indexFaults.end(),
                            [&](const IndexFault& fault) { return fault.callNumber == callNumber; });
    if (hit == state.indexFaults.end()) return false;
    HRESULT injected = hit->code;
    state.indexFaults.erase(hit);
    if (failable != internal::Failable::Always) return false;
    *code = injected;
    return true;
}

bool TakeMethodFault(InstrumentationState& state, const char* method, internal::Failable failable,
                     HRESULT* code) {
    if (failable == internal::Failable::Never) return false;
    auto hit = std::find_if(state.methodFaults.begin(), state.methodFaults.end(),
                            [&](const MethodFault& fault) { return fault.method == method; });
    if (hit == state.methodFaults.end()) return false;
    if (hit->skip > 0) {
        --hit->skip;
        return false;
    }
    *code = hit->code;
    if (--hit->count == 0) state.methodFaults.erase(hit);
    return true;
}

}  // namespace

namespace internal {

bool TakeFault(const char* method, Failable failable, HRESULT* code) {
    InstrumentationState& state = State();
    std::uint64_t callNumber = state.callsSoFar++;
    if (state.indexFaults.empty() && state.methodFaults.empty()) return false;
    bool byIndex = TakeIndexFault(state, callNumber, failable, code);
    bool byMethod = TakeMethodFault(state, method, failable, code);
    return byIndex || byMethod;
}

bool LoggingEnabled() { return State().loggingEnabled; }

void AppendRecord(const char* method, std::string args, std::int64_t result) {
    std::vector<CallRecord>& log = State().log;
    if (log.size() >= kMaxRecords) log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(kMaxRecords / 2));
    log.push_back(CallRecord{method, std::move(args), result});
}

void ObjectCreated() { ++State().liveObjects; }
void ObjectDestroyed() { --State().liveObjects; }

DWORD AdapterVendorId() { return State().vendorId; }
DWORD AdapterDeviceId() { return State().deviceId; }
std::uint32_t QueryPendingPolls() { return State().queryPendingPolls; }
bool Direct3DCreateFails() { return State().direct3DCreateFails; }

void AppendArgument(std::string& out, float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    out += text;
}

void AppendArgument(std::string& out, const GUID& value) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08" PRIX32 "-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", value.Data1,
                  unsigned{value.Data2}, unsigned{value.Data3}, unsigned{value.Data4[0]}, unsigned{value.Data4[1]},
                  unsigned{value.Data4[2]}, unsigned{value.Data4[3]}, unsigned{value.Data4[4]},
                  unsigned{value.Data4[5]}, unsigned{value.Data4[6]}, unsigned{value.Data4[7]});
    out += text;
}

void AppendArgument(std::string& out, std::uint64_t value) { out += std::to_string(value); }
void AppendArgument(std::string& out, std::int64_t value) { out += std::to_string(value); }

}  // namespace internal

const std::vector<CallRecord>& CallLog() { return State().log; }
void ClearCallLog() { State().log.clear(); }
void SetCallLogging(bool enabled) { State().loggingEnabled = enabled; }

void InjectFault(const std::string& method, HRESULT code, unsigned count, unsigned skip) {
    std::vector<MethodFault>& faults = State().methodFaults;
    std::erase_if(faults, [&](const MethodFault& fault) { return fault.method == method; });
    if (count > 0) faults.push_back(MethodFault{method, code, skip, count});
}

void InjectFaultAtCallIndex(unsigned index, HRESULT code) {
    InstrumentationState& state = State();
    state.indexFaults.push_back(IndexFault{state.callsSoFar + index, code});
}

void SetDirect3DCreateFails(bool fails) { State().direct3DCreateFails = fails; }

void ClearFaults() {
    State().methodFaults.clear();
    State().indexFaults.clear();
    State().direct3DCreateFails = false;
}

void SetAdapterIdentity(DWORD vendorId, DWORD deviceId) {
    State().vendorId = vendorId;
    State().deviceId = deviceId;
}

void SetQueryPendingPolls(std::uint32_t polls) { State().queryPendingPolls = polls; }

int LiveObjectCount() { return State().liveObjects; }

bool ReadBackBuffer(IDirect3DDevice9* device, BackBufferImage* out) {
    if (!device || !out) return false;
    static_cast<Device*>(device)->ReadBackBuffer(out);
    return true;
}

bool ReadDepthStencil(IDirect3DDevice9* device, DepthStencilImage* out) {
    if (!device || !out) return false;
    static_cast<Device*>(device)->ReadDepthStencil(out);
    return true;
}

void ResetInstrumentation() {
    InstrumentationState& state = State();
    state.log.clear();
    state.loggingEnabled = false;
    ClearFaults();
    state.vendorId = kDefaultVendorId;
    state.deviceId = kDefaultDeviceId;
    state.queryPendingPolls = 0;
}

}  // namespace d3d9sw
