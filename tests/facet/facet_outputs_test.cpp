// What the facet program writes and says when writing goes wrong: failed writes to
// standard output and to files are one line with the system's reason and exit 2, with no
// file left behind; outputs are refused before the input is read; output names agree
// with their formats; file names are escaped in messages and JSON; memory running out
// is one line and exit 1; a signal leaves no temporary behind.
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

constexpr const char* kDiskFull = "No space left on device";

class FacetOutputs : public FacetProgram {
protected:
    void SetUp() override {
        FacetProgram::SetUp();
        Write("cube.obj", generated_meshes::ToObj(generated_meshes::SplitCube()));
    }

    // Expects exit 2 and one line on standard error containing `text`, standard output
    // going to `standardOutput` (captured when empty).
    void ExpectWriteFailure(const std::string& arguments, const std::string& standardOutput,
                            const std::string& text) const {
        const Outcome run = Facet(arguments, standardOutput);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find(text), std::string::npos) << arguments << ": " << run.err;
    }
};

TEST_F(FacetOutputs, AFullStandardOutputIsOneLineWithTheReasonAndKeepsNoFile) {
    // Small outputs fail at the final flush, the large sphere listing in the middle.
    for (const char* command : {"info cube.obj", "info cube.obj --json", "adjacency cube.obj", "adjacency cube.obj -o -",
                                "sphere", "sphere --slices 240 --stacks 240 --index32 --adjacency", "cpu", "--help",
                                "--version", "info --help"})
        ExpectWriteFailure(command, "/dev/full", std::string("cannot write standard output: ") + kDiskFull);
    // The export is kept only once its summary is out.
    ExpectWriteFailure("sphere --obj s.obj --ply s.ply", "/dev/full", kDiskFull);
    EXPECT_EQ(Listing(), "cube.obj");
}

TEST_F(FacetOutputs, AFailedFileWriteNamesTheReason) {
    ExpectWriteFailure("sphere --obj /dev/full", "", std::string("cannot write \"/dev/full\": ") + kDiskFull);
    ExpectWriteFailure("sphere --slices 240 --stacks 240 --index32 --ply /dev/full", "",
                       std::string("cannot write \"/dev/full\": ") + kDiskFull);
    ExpectWriteFailure("adjacency cube.obj -o /dev/full", "", std::string("cannot write \"/dev/full\": ") + kDiskFull);
    // The first export's file is not kept when the second fails.
    ExpectWriteFailure("sphere --obj s.obj --ply /dev/full", "", kDiskFull);
    EXPECT_EQ(Listing(), "cube.obj");
}

TEST_F(FacetOutputs, OutputsAreRefusedBeforeTheInputIsRead) {
    fs::create_directory(Path("folder.ply"));
    // The input does not exist: a refusal that names the output was decided first.
    const struct {
        const char* arguments;
        const char* why;
    } cases[] = {
        {"convert missing.obj nodir/out.off", "\"nodir/out.off\": No such file or directory"},
        {"normals missing.obj -o nodir/x.ply", "\"nodir/x.ply\": No such file or directory"},
        {"adjacency missing.obj -o nodir/x.txt", "\"nodir/x.txt\": No such file or directory"},
        {"convert missing.obj folder.ply", "\"folder.ply\": it is a directory"},
        {"convert missing.obj cube.obj/x.ply", "Not a directory"},
        {"sphere --slices 240 --stacks 240 --index32 --ply nodir/s.ply", "\"nodir/s.ply\": No such file"},
    };
    for (const auto& c : cases) ExpectRefused(c.arguments, c.why);
    EXPECT_EQ(Listing(), "cube.obj folder.ply");
}

TEST_F(FacetOutputs, OutputNamesAgreeWithTheirFormats) {
    ExpectRefused("sphere --obj x.ply", "--obj writes .obj files, so its file name must end in .obj, not 'x.ply'");
    ExpectRefused("sphere --ply x.obj", "--ply writes .ply files");
    ExpectRefused("sphere --obj sphere", "must end in .obj");
    ExpectRefused("sphere --obj a.obj --ply b.off", "--ply writes .ply files");
    ExpectRefused("adjacency cube.obj -o a.ply", "named as a mesh file, but the adjacency is text");
    EXPECT_EQ(Listing(), "cube.obj");

    // Case does not matter; devices and pipes are written whatever their names.
    ASSERT_EQ(Facet("sphere --obj UPPER.OBJ").status, 0);
    const Outcome toStdout = Facet("sphere --obj /dev/null --ply /dev/stdout");
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_NE(toStdout.out.find("element face 112\n"), std::string::npos);
    const Outcome dash = Facet("adjacency cube.obj -o -");
    ASSERT_EQ(dash.status, 0) << dash.err;
    EXPECT_NE(dash.out.find("\n9 7 1\n"), std::string::npos);
}

TEST_F(FacetOutputs, DoubleDashEndsTheOptions) {
    Write("-cube.obj", Read(Path("cube.obj")));
    const Outcome info = Facet("info --json -- -cube.obj");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"file\": \"-cube.obj\""), std::string::npos);
    ASSERT_EQ(Facet("convert -- -cube.obj -cube.ply").status, 0);
    EXPECT_TRUE(fs::exists(Path("-cube.ply")));
    ExpectRefused("info -cube.obj", "unknown option '-cube.obj'");
    ExpectRefused("cpu -- extra", "unexpected argument 'extra'");
}

TEST_F(FacetOutputs, FileNamesAreEscapedInMessagesAndJson) {
    // ESC, a byte that is not UTF-8, an é and a newline.
    const std::string name = "n\x1b\xff\xc3\xa9\n.obj";
    Write(name, Read(Path("cube.obj")));
    const std::string shellName = "\"$(printf 'n\\033\\377\\303\\251\\n.obj')\"";

    const Outcome json = Facet("info --json " + shellName);
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"file\": \"n\\u001b\\ufffd\xc3\xa9\\u000a.obj\", ", 0), 0u) << json.out;
    const Outcome text = Facet("info " + shellName);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')), "file                  n\\x1b\\xff\xc3\xa9\\n.obj (OBJ, text)");

    // Refusals that quote a path or an argument stay one line with no raw control byte.
    for (const char* arguments : {"convert cube.obj \"$(printf 'no\\033dir/x\\ny.ply')\"",
                                  "sphere --obj \"$(printf 'x\\033.ply')\"", "info \"$(printf -- '--\\033\\r')\""}) {
        const Outcome run = Facet(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.err.find_first_of("\x1b\r"), std::string::npos) << arguments << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find("\\x1b"), std::string::npos) << arguments << ": " << run.err;
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define FACET_UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FACET_UNDER_ADDRESS_SANITIZER 1
#endif
#endif

TEST_F(FacetOutputs, MemoryRunningOutIsOneLineAndExitOne) {
#ifdef FACET_UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer needs more address space than the limits tried here";
#endif
    // Under a rising address-space limit the sphere runs out in the library (its own
    // code) or in the program (a bad_alloc), then succeeds: never an abort.
    for (const char* arguments : {"sphere --slices 240 --stacks 240 --index32",
                                  "sphere --slices 240 --stacks 240 --index32 --normals --adjacency"}) {
        int outOfMemory = 0, succeeded = 0;
        for (int limit = 6000; limit <= 40000 && succeeded < 3; limit += 1000) {
            const Outcome run = Shell("ulimit -v " + std::to_string(limit) + " && " + Binary() + " " + arguments);
            if (run.status == 0) ++succeeded;
            if (run.status == 0 || run.status == 127) continue;  // 127: too little to load the program at all
            EXPECT_EQ(run.status, 1) << arguments << ", limit " << limit << ": " << run.err;
            EXPECT_EQ(run.err.rfind("facet sphere: out of memory", 0), 0u) << arguments << ", limit " << limit;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            ++outOfMemory;
        }
        EXPECT_GT(outOfMemory, 0) << arguments;
        EXPECT_EQ(succeeded, 3) << arguments;
    }
}

TEST_F(FacetOutputs, ASignalLeavesNoTemporaryBehind) {
    // The input is a pipe whose writer never writes, so the command waits in its reading
    // with the output's temporary already open beside out.ply. (A shell starts background
    // commands with SIGINT and SIGQUIT ignored, so those two cannot be sent here.)
    for (const auto& [signal, status] : {std::pair{"TERM", "143"}, std::pair{"HUP", "129"}}) {
        const Outcome run = Shell(
            "mkfifo in.fifo; sleep 30 >in.fifo & writer=$!; " + Binary() + " convert in.fifo out.ply & pid=$!; "
            "for i in $(seq 100); do ls -a | grep -q partial && break; sleep 0.05; done; "
            "ls -a | grep -c partial; kill -" + std::string(signal) + " $pid; wait $pid; echo $?; "
            "kill $writer; rm in.fifo");
        EXPECT_EQ(run.out, std::string("1\n") + status + "\n") << signal << ": " << run.err;
        EXPECT_EQ(Listing(), "cube.obj") << signal;
    }
}

// The same with the signal sent while the temporary exists but is not yet listed for
// removal: a preloaded mkostemp lingers right there.
TEST_F(FacetOutputs, ASignalAsTheTemporaryIsCreatedLeavesNothingBehind) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer's runtime must be the first library loaded, before any preloaded one";
#endif
    const Outcome run = Shell("mkfifo in.fifo; sleep 30 >in.fifo & writer=$!; LD_PRELOAD=" SLOW_TEMPORARY_CREATION " " +
                              Binary() +
                              " convert in.fifo out.ply & pid=$!; "
                              "for i in $(seq 1000); do ls -a | grep -q partial && break; sleep 0.001; done; "
                              "kill -HUP $pid; wait $pid; echo $?; kill $writer; rm in.fifo");
    EXPECT_EQ(run.out, "129\n") << run.err;
    EXPECT_EQ(Listing(), "cube.obj");
}

}  // namespace
