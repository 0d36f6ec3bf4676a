// scripts/test.sh without the mail server rig beside the source tree: in CI the run fails at
// once, elsewhere it runs and says how many tests were skipped. The script runs on a copy of
// itself with the build, the package installer and ctest stood in for.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

void WriteScript(const fs::path& path, std::string_view text) {
    test::WriteFile(path, text);
    ::chmod(path.c_str(), 0755);
}

TEST(TestScript, AMissingRigFailsInCiAndIsCountedElsewhere) {
    test::TempDir tree;  // tree/src is the source tree; tree/shared does not exist
    fs::create_directories(tree / "src" / "scripts");
    fs::create_directories(tree / "bin");
    fs::copy_file(fs::path(KIVO_SOURCE_DIR) / "scripts" / "test.sh",
                  tree / "src" / "scripts" / "test.sh");
    WriteScript(tree / "src" / "scripts" / "deps.sh", "#!/bin/sh\nexit 0\n");
    WriteScript(tree / "src" / "scripts" / "build.sh", "#!/bin/sh\nexit 0\n");
    WriteScript(tree / "bin" / "ctest",
                "#!/bin/sh\necho '100% tests passed'\necho 'The following tests did not run:'\n"
                "printf '\\t7 - CheckRig.A (Skipped)\\n\\t9 - CheckRig.B (Skipped)\\n'\n");
    const std::string path = "PATH=" + (tree / "bin").string() + ":" + test::Env("PATH");
    const std::string script = (tree / "src" / "scripts" / "test.sh").string();

    const test::ProcessResult ci = test::RunProgram({"env", "CI=true", path, "bash", script});
    EXPECT_EQ(ci.status, 1);
    EXPECT_NE(ci.err.find("error: the mail server rig ../shared/peers/mailpeers is missing"),
              std::string::npos)
        << ci.err;
    EXPECT_EQ(ci.out.find("tests passed"), std::string::npos) << ci.out;

    const test::ProcessResult here = test::RunProgram({"env", "CI=", path, "bash", script});
    EXPECT_EQ(here.status, 0) << here.err;
    EXPECT_NE(here.err.find("warning: 4 tests were skipped (the mail server rig "
                            "../shared/peers/mailpeers is missing)"),
              std::string::npos)
        << here.err;
    EXPECT_NE(here.out.find("all tests that ran passed; 4 skipped"), std::string::npos) << here.out;
    EXPECT_EQ(here.out.find("all tests passed"), std::string::npos) << here.out;
}

}  // namespace
}  // namespace kivo
