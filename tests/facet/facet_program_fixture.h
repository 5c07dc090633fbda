// Runs the facet program built beside the test in a folder of the test's own, and
// captures its exit code, standard output and standard error.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

namespace fs = std::filesystem;

class FacetProgram : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) / ("facet-program-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::string Binary() {
        return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "facet").string();
    }

    // Runs facet with `arguments` (a shell word list) in the test's folder, its standard
    // output captured or, when `standardOutput` is given, sent there (a shell word).
    Outcome Facet(const std::string& arguments, const std::string& standardOutput = "") const {
        return Shell(Binary() + " " + arguments, standardOutput);
    }

    // Runs the shell commands `script` in the test's folder, as Facet.
    Outcome Shell(const std::string& script, const std::string& standardOutput = "") const {
        Remove("out");
        const std::string command = "cd " + dir_.string() + " && { " + script + "; } >" +
                                    (standardOutput.empty() ? Path("out") : standardOutput) + " 2>" + Path("err");
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(Path("out")), Read(Path("err"))};
    }

    void Remove(const std::string& name) const {
        std::error_code ignored;
        fs::remove(Path(name), ignored);
    }

    // The names in the test's folder other than the captured out and err, sorted.
    std::string Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name != "out" && name != "err") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        std::string listing;
        for (const auto& name : names) listing += (listing.empty() ? "" : " ") + name;
        return listing;
    }

    // Expects exit code 2 with exactly one line on standard error containing `text`.
    void ExpectRefused(const std::string& arguments, const std::string& text) const {
        const Outcome run = Facet(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find(text), std::string::npos) << arguments << ": " << run.err;
    }

    fs::path dir_;
};
