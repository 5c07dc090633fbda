// STL: binary when the file's size is exactly 84 + 50 × the little-endian triangle count
// at byte 80 (an 80-byte header of any content, then per triangle a normal, three corner
// positions as float triples and two attribute bytes), ASCII otherwise: one or more
// blocks of
//   solid NAME
//     facet normal NX NY NZ
//       outer loop
//         vertex X Y Z      (three times)
//       endloop
//     endfacet
//   endsolid NAME
// where keywords may be in any case and line breaks may stand between any two words.
// Names run to the end of their line. Normals and attribute bytes are passed over; the
// corners are joined into shared vertices (see CornerJoiner).
#include "geometry/corner_joining.h"
#include "geometry/mesh_file_contents.h"
#include "geometry/text_scanner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace facet {

namespace {

constexpr std::size_t kBinaryHeaderBytes = 84;
constexpr std::size_t kBinaryTriangleBytes = 50;

std::uint32_t TriangleCountAt80(const char* bytes) {
    static_assert(std::endian::native == std::endian::little, "binary STL is read in native order");
    std::uint32_t count = 0;
    std::memcpy(&count, bytes + 80, 4);
    return count;
}

bool SizeIsBinary(const char* bytes, std::size_t size) {
    return size >= kBinaryHeaderBytes &&
           (size - kBinaryHeaderBytes) / kBinaryTriangleBytes == TriangleCountAt80(bytes) &&
           (size - kBinaryHeaderBytes) % kBinaryTriangleBytes == 0;
}

std::string ByteRefusal(const char* name, std::uint64_t offset, const std::string& why) {
    return std::string(name) + ": byte " + std::to_string(offset) + ": " + why;
}

// Why a file of `size` bytes is not binary STL, for a refusal at byte 80.
std::string NotBinaryText(const char* bytes, std::size_t size) {
    const std::uint64_t count = TriangleCountAt80(bytes);
    return "a binary STL file whose header counts " + std::to_string(count) + " triangles holds 84 + 50 × " +
           std::to_string(count) + " = " + std::to_string(kBinaryHeaderBytes + kBinaryTriangleBytes * count) +
           " bytes, this file " + std::to_string(size);
}

bool ReadBinary(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                MeshFileContents* contents, std::string* error) {
    const std::uint32_t count = TriangleCountAt80(bytes);
    if (count == 0) {
        *error = ByteRefusal(name, 80, "the file holds no faces");
        return false;
    }
    if (count > kMaxFileTriangles) {
        *error = ByteRefusal(name, 80, "too many faces");
        return false;
    }
    contents->summary.encoding = MeshFileEncoding::BinaryLittleEndian;
    contents->summary.polygons = count;
    contents->corners.reserve(std::size_t{3} * count);
    CornerJoiner joiner(contents, count / 2);
    ProgressTicker progress(options, size);
    for (std::size_t t = 0; t < count; ++t) {
        const std::size_t record = kBinaryHeaderBytes + kBinaryTriangleBytes * t;
        progress.At(record);
        float corners[9];
        std::memcpy(corners, bytes + record + 12, sizeof corners);
        for (int k = 0; k < 9; ++k) {
            if (std::isfinite(corners[k])) continue;
            char text[64];
            std::snprintf(text, sizeof text, "coordinate %g is not a finite number", corners[k]);
            *error = ByteRefusal(name, record + 12 + 4 * k, text);
            return false;
        }
        for (int k = 0; k < 3; ++k) joiner.Add(corners + 3 * k);
    }
    return true;
}

bool SameWord(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != keyword[i]) return false;
    }
    return true;
}

// The ASCII form, read as a stream of words that may be broken across lines anywhere.
class TextReader {
public:
    TextReader(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
               MeshFileContents* contents, std::string* error)
        : scanner_(name, bytes, size), progress_(options, size), contents_(contents), joiner_(contents, 0),
          error_(error) {}

    bool Read() {
        std::string_view word;
        if (!Next(&word)) return !failed_ && scanner_.Fail(error_, "the file is empty");
        if (!SameWord(word, "solid"))
            return scanner_.Fail(error_, "a text STL file starts with 'solid', not " + Quoted(word));
        startsWithSolid_ = true;
        do {
            if (!ReadSolid()) return false;
            if (!Next(&word)) break;
            if (!SameWord(word, "solid"))
                return scanner_.Fail(error_, "'solid' or the end of the file should follow 'endsolid', not " +
                                                 Quoted(word));
        } while (true);
        if (failed_) return false;
        if (contents_->corners.empty()) return scanner_.Fail(error_, "the file holds no faces");
        return true;
    }

    bool StartsWithSolid() const { return startsWithSolid_; }

private:
    // The next word, on this line or a later one; false at the end or at a line no text
    // file holds (then failed_ is set).
    bool Next(std::string_view* word) {
        while (!scanner_.NextWord(word)) {
            if (!scanner_.NextLine()) return false;
            progress_.At(scanner_.Offset());
            if (const int foreign = scanner_.ForeignByte(); foreign >= 0) {
                char text[64];
                std::snprintf(text, sizeof text, "byte 0x%02X does not belong in a text file", foreign);
                failed_ = true;
                return scanner_.Fail(error_, text);
            }
        }
        return true;
    }

    void SkipRestOfLine() {
        std::string_view word;
        while (scanner_.NextWord(&word)) {
        }
    }

    bool Expect(std::string_view keyword) {
        std::string_view word;
        if (!Next(&word))
            return !failed_ && scanner_.Fail(error_, "the file ends where '" + std::string(keyword) + "' should stand");
        if (!SameWord(word, keyword))
            return scanner_.Fail(error_, "'" + std::string(keyword) + "' should stand here, not " + Quoted(word));
        return true;
    }

    // After "solid": its name, its facets and "endsolid".
    bool ReadSolid() {
        SkipRestOfLine();
        std::string_view word;
        while (true) {
            if (!Next(&word)) return !failed_ && scanner_.Fail(error_, "the file ends before 'endsolid'");
            if (SameWord(word, "endsolid")) {
                SkipRestOfLine();
                return true;
            }
            if (!SameWord(word, "facet"))
                return scanner_.Fail(error_, "'facet' or 'endsolid' should stand here, not " + Quoted(word));
            if (!ReadFacet()) return false;
        }
    }

    // After "facet": the normal (three words, passed over), the loop of three vertices.
    bool ReadFacet() {
        if (!Expect("normal")) return false;
        std::string_view word;
        for (int k = 0; k < 3; ++k)
            if (!Next(&word)) return !failed_ && scanner_.Fail(error_, "the file ends inside a facet normal");
        if (!Expect("outer") || !Expect("loop")) return false;
        if (contents_->corners.size() / 3 >= kMaxFileTriangles) return scanner_.Fail(error_, "too many faces");
        for (int corner = 0; corner < 3; ++corner) {
            if (!Expect("vertex")) return false;
            float position[3];
            for (float& coordinate : position) {
                if (!Next(&word)) return !failed_ && scanner_.Fail(error_, "a vertex needs three coordinates");
                if (!TextScanner::ParseFloat(word, &coordinate))
                    return scanner_.Fail(error_, "coordinate " + Quoted(word) + " is not a finite number");
            }
            joiner_.Add(position);
        }
        ++contents_->summary.polygons;
        return Expect("endloop") && Expect("endfacet");
    }

    TextScanner scanner_;
    ProgressTicker progress_;
    MeshFileContents* contents_;
    CornerJoiner joiner_;
    std::string* error_;
    bool failed_ = false;
    bool startsWithSolid_ = false;
};

// Whether the first 84 bytes hold a byte no text holds, as a binary header and count do.
bool StartLooksBinary(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < std::min(size, kBinaryHeaderBytes); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F) return true;
    }
    return false;
}

}  // namespace

bool ReadStlContents(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                     MeshFileContents* contents, std::string* error) {
    if (SizeIsBinary(bytes, size)) return ReadBinary(name, bytes, size, options, contents, error);
    TextReader text(name, bytes, size, options, contents, error);
    if (text.Read()) return true;
    // A file with a binary start that fails as text is most likely binary STL cut short
    // or padded, even when its header starts with "solid": say so.
    if (size >= kBinaryHeaderBytes && (!text.StartsWithSolid() || StartLooksBinary(bytes, size)))
        *error = ByteRefusal(name, 80, NotBinaryText(bytes, size) + ", and it is no text STL file either");
    else if (size < kBinaryHeaderBytes && !text.StartsWithSolid())
        *error = ByteRefusal(name, 0, "a binary STL file holds 84 bytes at least and a text one starts with 'solid'");
    return false;
}

}  // namespace facet
