// Test instrumentation of the software Direct3D 9 device: a process-wide call log, fault
// injection and a configurable adapter identity. The programs never use these; tests do.
//
// Call log format. Every call on a Direct3D object (the Direct3D object, devices,
// buffers, declarations and queries, including AddRef, Release and QueryInterface) is
// appended as one record: `method` is "Interface::Method" with the interface's short name
// ("Direct3D", "Device", "VertexBuffer", "IndexBuffer", "VertexDeclaration", "Query"),
// e.g. "Device::Clear" or "VertexBuffer::Lock"; the free function is "Direct3DCreate9".
// `args` lists the arguments in order, separated by ",": integers, enums, flags and
// colours as unsigned decimal numbers (a signed INT argument as signed decimal), floats
// with printf "%.9g", pointers (including out-pointers and interface pointers) as "null"
// or "ptr". Example: Device::Clear "0,null,7,4294967295,1,0". `result` is the returned
// code (for AddRef/Release the returned count). Interface ids (QueryInterface) are written
// in registry form, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}. Calls that return a value
// rather than a code (AddRef, Release, Direct3D::GetAdapterCount, Query::GetType,
// Query::GetDataSize) record that value; Direct3DCreate9 records 0 when it returns an
// object and D3DERR_NOTAVAILABLE when it returns null.
//
// Logging is off until SetCallLogging(true), so a long run of a program neither grows
// the log nor pays for it; whoever reads the log turns it on first. The log keeps at most
// 1,000,000 records: when it is full, the oldest half is dropped. Calls made while
// logging is off are not recorded but still count for InjectFaultAtCallIndex.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <string>
#include <vector>

namespace d3d9sw {

struct CallRecord {
    std::string method;
    std::string args;
    std::int64_t result = 0;
};

// The records since the last ClearCallLog, oldest first.
const std::vector<CallRecord>& CallLog();
void ClearCallLog();
// Off by default and after ResetInstrumentation.
void SetCallLogging(bool enabled);

// The next `count` calls of `method` (named as in the log, e.g. "Device::CreateVertexBuffer"),
// after `skip` further calls of it have succeeded, fail with `code` and change nothing.
// An out-pointer of a failing creation call is set to null. Calls that return a value
// rather than a code are never failed; a fault on "Direct3DCreate9" makes it return null.
// A new fault for a method replaces the previous one; a count of 0 removes it.
void InjectFault(const std::string& method, HRESULT code, unsigned count = 1, unsigned skip = 0);
// Fails exactly the call with this index among all logged calls from now on (0 is the
// next call), whatever its method, with `code`. Calls that return a count (AddRef,
// Release) and Direct3DCreate9 are never failed this way.
void InjectFaultAtCallIndex(unsigned index, HRESULT code);
// Makes Direct3DCreate9 return null while set.
void SetDirect3DCreateFails(bool fails);
// Removes every injected fault, SetDirect3DCreateFails included.
void ClearFaults();

// The adapter identity that IDirect3D9::GetAdapterIdentifier reports.
void SetAdapterIdentity(DWORD vendorId, DWORD deviceId);

// When set, a D3DQUERYTYPE_VCACHE query answers S_FALSE to this many GetData calls
// before it delivers its data (0 by default; UINT32_MAX never delivers).
void SetQueryPendingPolls(std::uint32_t polls);

// Number of live objects of the software device (devices, buffers, declarations,
// queries and Direct3D objects), for leak checks in tests.
int LiveObjectCount();

// The device's back buffer as an RGBA8 image (rows top to bottom), for rasterizer tests.
// False for a null device.
struct BackBufferImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};
bool ReadBackBuffer(IDirect3DDevice9* device, BackBufferImage* out);

// The device's depth and stencil buffers (rows top to bottom), each empty when the device
// has none, as a lock of the depth-stencil surface would show them. False for a null device.
struct DepthStencilImage {
    int width = 0;
    int height = 0;
    std::vector<float> depth;
    std::vector<std::uint8_t> stencil;
};
bool ReadDepthStencil(IDirect3DDevice9* device, DepthStencilImage* out);

// Resets the log (emptied and turned off), the faults, the adapter identity and the query
// behaviour to defaults.
void ResetInstrumentation();

}  // namespace d3d9sw
