// Text STL: see stl_text_reader.h.
//
// The words are parsed into corner positions first and joined into vertices afterwards,
// in file order, so that the joining's table is sized from the facet count and its slots
// are fetched ahead. A large file is parsed in chunks cut at line ends, on the pool's
// threads, each chunk joined as soon as those before it are. A chunk cannot tell where
// the grammar stands at its cut (a solid's name runs to the end of its line and may hold
// any word), so it starts at its first word "facet" and reads on to the first "facet" at
// or past its end. The chunks hold the facets of one read from the start when each one
// stopped where the next one started. When one did not, or when a chunk met anything
// that read might refuse, the file is read again from the start on the caller, which
// also gives a refusal its line.
#include "geometry/stl_text_reader.h"

#include "facet/thread_pool.h"
#include "geometry/corner_joining.h"
#include "geometry/mesh_input_start.h"
#include "geometry/text_chunks.h"
#include "geometry/text_scanner.h"
#include "springdrop/system/huge_page_memory.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace facet {

namespace {

bool SameWord(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != keyword[i]) return false;
    }
    return true;
}

// The words of a text, separated by spaces, tabs and line breaks (\n, \r\n or \r), each
// with its line number (counted from the cursor's start), in one pass over the bytes. A control byte other than those
// stops the reading. A UTF-8 byte-order mark at the start is passed over.
class WordCursor {
public:
    enum class Step { Word, End, Foreign };

    // Starts at `begin`, a line's start; a byte-order mark is looked for at the file's start only.
    WordCursor(const char* bytes, std::size_t size, std::size_t begin)
        : bytes_(bytes), size_(size), at_(begin == 0 ? Utf8MarkLength(bytes, size) : begin) {}

    Step Next(std::string_view* word) {
        while (at_ < size_) {
            const auto byte = static_cast<unsigned char>(bytes_[at_]);
            if (byte == ' ' || byte == '\t') {
                ++at_;
            } else if (byte == '\n' || byte == '\r') {
                PassLineBreak();
            } else if (byte < 0x20 || byte == 0x7F) {
                return Foreign(byte);
            } else {
                const std::size_t start = at_;
                PassWord();
                *word = std::string_view(bytes_ + start, at_ - start);
                wordLine_ = line_;
                return Step::Word;
            }
        }
        return Step::End;
    }

    // Passes over the rest of the current line (a name after "solid" or "endsolid").
    Step SkipLine() {
        for (; at_ < size_ && bytes_[at_] != '\n' && bytes_[at_] != '\r'; ++at_) {
            const auto byte = static_cast<unsigned char>(bytes_[at_]);
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return Foreign(byte);
        }
        return Step::End;
    }

    std::size_t Offset() const { return at_; }
    // The line of the last word, or of the foreign byte after Step::Foreign.
    std::uint64_t Line() const { return wordLine_; }
    int ForeignByte() const { return foreign_; }

private:
    static constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;

    // Moves past the word at `at_`, eight bytes at a time while eight remain: the words
    // are most of a file's bytes.
    void PassWord() {
        while (at_ + 8 <= size_) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes_ + at_, 8);
            // The high bit of each byte that may be below 0x21 or 0x7F: exact for the
            // lowest such byte, which ends the word.
            const std::uint64_t ends = ((eight - 0x21 * kOnes) & ~eight & kHigh) |
                                       (((eight ^ (0x7F * kOnes)) - kOnes) & ~(eight ^ (0x7F * kOnes)) & kHigh);
            if (ends != 0) {
                at_ += static_cast<std::size_t>(std::countr_zero(ends)) / 8;
                return;
            }
            at_ += 8;
        }
        while (at_ < size_ && static_cast<unsigned char>(bytes_[at_]) > 0x20 && bytes_[at_] != 0x7F) ++at_;
    }

    void PassLineBreak() {
        if (bytes_[at_] == '\r' && at_ + 1 < size_ && bytes_[at_ + 1] == '\n') ++at_;
        ++at_;
        ++line_;
    }

    Step Foreign(unsigned char byte) {
        foreign_ = byte;
        wordLine_ = line_;
        return Step::Foreign;
    }

    const char* bytes_;
    std::size_t size_;
    std::size_t at_;
    std::uint64_t line_ = 1;
    std::uint64_t wordLine_ = 1;
    int foreign_ = -1;
};

// What one reading of the text found.
struct ParsedFacets {
    std::vector<float> positions;  // the facets' corners, three coordinates each
    std::size_t start = 0;         // its first "facet" (0 from the file's start; the size if none)
    std::size_t stop = 0;          // the first "facet" at or past its end, or the file's size
    bool startsWithSolid = false;  // from the file's start: whether the first word was "solid"
    bool read = false;             // false: refused, with the refusal in `error`
    std::string error;
};

// Reads the facets in bytes [begin, end) of a text STL file of `size` bytes: from its
// start (begin 0) through the whole grammar, otherwise from the first word "facet" at or
// past `begin` (see above). Reading the whole file, it refuses what the format does not
// allow with the line where it stands.
class TextReader {
public:
    TextReader(const char* name, const char* bytes, std::size_t size, std::size_t begin, std::size_t end,
               bool allowNoFaces, ProgressTicker& progress, ParsedFacets* facets)
        : name_(name), cursor_(bytes, size, begin), size_(size), begin_(begin), end_(end),
          allowNoFaces_(allowNoFaces), progress_(progress), facets_(facets) {}

    bool Read() {
        std::size_t at = 0;
        Found found = Found::End;
        if (begin_ == 0) {
            std::string_view word;
            if (!Next(&word)) return !failed_ && Fail("the file is empty");
            if (!SameWord(word, "solid")) return Fail("a text STL file starts with 'solid', not " + Quoted(word));
            facets_->startsWithSolid = true;
            if (!SkipLine()) return false;
            found = NextFacet(&at);
        } else {
            found = FirstFacet(&at);
            facets_->start = found == Found::Facet ? at : size_;
        }
        for (; found == Found::Facet; found = NextFacet(&at)) {
            if (at >= end_) {
                facets_->stop = at;
                return true;
            }
            progress_.At(at);
            if (!ReadFacet()) return false;
        }
        if (found == Found::Refused) return false;
        facets_->stop = size_;
        if (begin_ == 0 && end_ == size_ && facets_->positions.empty() && !allowNoFaces_)
            return Fail("the file holds no faces");
        return true;
    }

private:
    enum class Found { Facet, End, Refused };

    bool Fail(const std::string& why) {
        facets_->error = std::string(name_) + ": line " + std::to_string(cursor_.Line()) + ": " + why;
        return false;
    }

    bool FailForeign() {
        char text[64];
        std::snprintf(text, sizeof text, "byte 0x%02X does not belong in a text file", cursor_.ForeignByte());
        failed_ = true;
        return Fail(text);
    }

    // The next word; false at the end or at a byte no text holds (then failed_ is set).
    bool Next(std::string_view* word) {
        const WordCursor::Step step = cursor_.Next(word);
        if (step == WordCursor::Step::Foreign) return FailForeign();
        return step == WordCursor::Step::Word;
    }

    bool SkipLine() { return cursor_.SkipLine() != WordCursor::Step::Foreign || FailForeign(); }

    bool Expect(std::string_view keyword) {
        std::string_view word;
        if (!Next(&word)) return !failed_ && Fail("the file ends where '" + std::string(keyword) + "' should stand");
        if (!SameWord(word, keyword))
            return Fail("'" + std::string(keyword) + "' should stand here, not " + Quoted(word));
        return true;
    }

    // Inside a solid: on to its next "facet" (at `*at`), past "endsolid", its name and the
    // next "solid" with its name; End at the end of the file after "endsolid".
    Found NextFacet(std::size_t* at) {
        std::string_view word;
        while (true) {
            if (!Next(&word)) {
                if (!failed_) Fail("the file ends before 'endsolid'");
                return Found::Refused;
            }
            if (SameWord(word, "facet")) {
                *at = cursor_.Offset() - word.size();
                return Found::Facet;
            }
            if (!SameWord(word, "endsolid")) {
                Fail("'facet' or 'endsolid' should stand here, not " + Quoted(word));
                return Found::Refused;
            }
            if (!SkipLine()) return Found::Refused;
            if (!Next(&word)) return failed_ ? Found::Refused : Found::End;
            if (!SameWord(word, "solid")) {
                Fail("'solid' or the end of the file should follow 'endsolid', not " + Quoted(word));
                return Found::Refused;
            }
            if (!SkipLine()) return Found::Refused;
        }
    }

    // A chunk's first word "facet", wherever in the grammar it stands.
    Found FirstFacet(std::size_t* at) {
        std::string_view word;
        while (Next(&word))
            if (SameWord(word, "facet")) {
                *at = cursor_.Offset() - word.size();
                return Found::Facet;
            }
        return failed_ ? Found::Refused : Found::End;
    }

    // After "facet": the normal (three words, passed over), the loop of three vertices.
    bool ReadFacet() {
        if (!Expect("normal")) return false;
        std::string_view word;
        for (int k = 0; k < 3; ++k)
            if (!Next(&word)) return !failed_ && Fail("the file ends inside a facet normal");
        if (!Expect("outer") || !Expect("loop")) return false;
        if (facets_->positions.size() / 9 >= kMaxFileTriangles) return Fail("too many faces");
        float corners[9];
        for (int corner = 0; corner < 3; ++corner) {
            if (!Expect("vertex")) return false;
            for (int axis = 0; axis < 3; ++axis) {
                if (!Next(&word)) return !failed_ && Fail("a vertex needs three coordinates");
                if (!TextScanner::ParseFloat(word, &corners[3 * corner + axis]))
                    return Fail("coordinate " + Quoted(word) + " is not a finite number");
            }
        }
        facets_->positions.insert(facets_->positions.end(), corners, corners + 9);
        return Expect("endloop") && Expect("endfacet");
    }

    const char* name_;
    WordCursor cursor_;
    std::size_t size_, begin_, end_;
    bool allowNoFaces_;
    ProgressTicker& progress_;
    ParsedFacets* facets_;
    bool failed_ = false;
};

// Joins the chunks' corners in file order while later chunks are still being parsed: the
// thread that has parsed a chunk joins every chunk ready in order, unless another thread
// is joining, and the caller joins the rest once all are parsed. A chunk joins only when
// it was read and starts where the one before it stopped, so the joined chunks always
// hold the facets of one read from the start.
class ChunkJoining {
public:
    ChunkJoining(std::vector<ParsedFacets>& chunks, std::size_t fileSize, MeshFileContents* contents)
        : chunks_(chunks), parsed_(chunks.size()), fileSize_(fileSize), contents_(contents) {}

    // On the thread that parsed chunk `part`, right after.
    void Parsed(std::size_t part) {
        parsed_[part].store(true, std::memory_order_release);
        std::unique_lock<std::mutex> lock(joining_, std::try_to_lock);
        if (lock.owns_lock()) JoinReady();
    }

    // Once every chunk is parsed: joins the rest, and tells whether the chunks held the
    // facets of one read from the start, as many as a mesh may hold (the read from the
    // start refuses an empty file itself).
    bool Finish(bool allowNoFaces) {
        const std::lock_guard<std::mutex> lock(joining_);
        JoinReady();
        if (joined_ < chunks_.size() || (triangles_ == 0 && !allowNoFaces)) return false;
        contents_->summary.polygons = static_cast<DWORD>(triangles_);
        return true;
    }

private:
    void JoinReady() {
        for (; joined_ < chunks_.size() && parsed_[joined_].load(std::memory_order_acquire); ++joined_) {
            ParsedFacets& chunk = chunks_[joined_];
            if (!chunk.read || (joined_ > 0 && chunk.start != chunks_[joined_ - 1].stop)) return;
            const std::size_t triangles = chunk.positions.size() / 9;
            if (triangles_ + triangles > kMaxFileTriangles) return;
            if (!joiner_) Start(triangles, chunk.stop);
            triangles_ += triangles;
            joiner_->AddAll(chunk.positions.data(), chunk.positions.size() / 3);
            std::vector<float>().swap(chunk.positions);
        }
    }

    // Sizes the contents and the joining's table for the facet count that the first chunk's
    // `triangles` in `bytes` bytes give the whole file: exact for a single chunk; a table
    // sized short only grows, with the same result.
    void Start(std::size_t triangles, std::size_t bytes) {
        const double share = static_cast<double>(fileSize_) / static_cast<double>(std::max<std::size_t>(bytes, 1));
        const auto expected = static_cast<std::size_t>(static_cast<double>(triangles) * share);
        platform::ReserveInHugePages(&contents_->corners, 3 * expected);
        platform::ReserveInHugePages(&contents_->positions, 3 * (expected / 2 + 1));
        joiner_.emplace(contents_, expected / 2);
    }

    std::vector<ParsedFacets>& chunks_;
    std::vector<std::atomic<bool>> parsed_;
    std::size_t fileSize_;
    MeshFileContents* contents_;
    std::mutex joining_;
    std::size_t joined_ = 0;
    std::uint64_t triangles_ = 0;
    std::optional<CornerJoiner> joiner_;
};

}  // namespace

bool ReadStlText(const char* name, const char* bytes, std::size_t size, const MeshReadOptions& options,
                 MeshFileContents* contents, std::string* error, bool* startsWithSolid) {
    ProgressTicker progress(options, size, contents->input);
    const auto readFacets = [&](std::size_t begin, std::size_t end, ProgressTicker& ticker, ParsedFacets* facets) {
        facets->read = TextReader(name, bytes, size, begin, end, options.allowNoFaces, ticker, facets).Read();
    };
    const std::size_t parts = TextChunkCount(options.pool, size);
    if (parts > 1) {
        const std::vector<std::size_t> bounds = ChunksAtLineEnds(bytes, 0, size, parts);
        std::vector<ParsedFacets> chunks(parts);
        bool agree = false;
        {
            ChunkJoining joining(chunks, size, contents);
            // The pool's threads report no progress, but let go of their chunks' pages as
            // they read, as the caller does.
            RunParts(options.pool, parts, [&](std::size_t part) {
                ProgressTicker pages = ProgressTicker::ForChunk(contents->input, bounds[part], bounds[part + 1]);
                readFacets(bounds[part], bounds[part + 1], pages, &chunks[part]);
                joining.Parsed(part);
            });
            agree = joining.Finish(options.allowNoFaces);
        }
        *startsWithSolid = chunks.front().startsWithSolid;
        if (agree) {
            progress.At(size);
            return true;
        }
        // Let go of what the chunks joined: the read from the start joins afresh.
        std::vector<float>().swap(contents->positions);
        std::vector<DWORD>().swap(contents->corners);
        contents->summary.joinedCorners = 0;
    }
    std::vector<ParsedFacets> whole(1);
    readFacets(0, size, progress, &whole.front());
    *startsWithSolid = whole.front().startsWithSolid;
    if (!whole.front().read) {
        *error = std::move(whole.front().error);
        return false;
    }
    ChunkJoining joining(whole, size, contents);
    joining.Parsed(0);
    // The read from the start has refused a file without facets or with too many itself.
    return joining.Finish(options.allowNoFaces);
}

}  // namespace facet
