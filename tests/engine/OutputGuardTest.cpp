// Cutting the files being written back to their last whole frame, as a second interrupt does.
#include "engine/OutputGuard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

off_t SizeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_size : -1;
}

TEST(OutputGuard, CutsEveryGuardedFileBackToItsLastWholeFrame) {
    char pattern[] = "/tmp/quillon-guard-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string a = dir + "/a.mp3", b = dir + "/b.mp3", c = dir + "/c.mp3";
    const int fa = ::open(a.c_str(), O_CREAT | O_RDWR, 0644);
    const int fb = ::open(b.c_str(), O_CREAT | O_RDWR, 0644);
    const int fc = ::open(c.c_str(), O_CREAT | O_RDWR, 0644);
    const std::string bytes(1000, 'x');
    const int slotA = GuardOutput(fa);
    const int slotB = GuardOutput(fb);
    ASSERT_GE(slotA, 0);
    ASSERT_GE(slotB, 0);
    ASSERT_NE(slotA, slotB);
    ASSERT_EQ(::write(fa, bytes.data(), 417), 417);
    MarkWholeFrames(slotA, 417);
    ASSERT_EQ(::write(fa, bytes.data(), 300), 300);  // a frame half written
    ASSERT_EQ(::write(fb, bytes.data(), 100), 100);  // nothing whole yet
    ASSERT_EQ(::write(fc, bytes.data(), 50), 50);    // released: left alone
    const int slotC = GuardOutput(fc);
    ReleaseOutput(slotC);

    TruncateGuardedOutputs();
    EXPECT_EQ(SizeOf(fa), 417);
    EXPECT_EQ(SizeOf(fb), 0);
    EXPECT_EQ(SizeOf(fc), 50);

    // A released slot is taken again, starting from nothing whole.
    ReleaseOutput(slotA);
    ReleaseOutput(slotB);
    const int again = GuardOutput(fc);
    EXPECT_GE(again, 0);
    TruncateGuardedOutputs();
    EXPECT_EQ(SizeOf(fc), 0);
    ReleaseOutput(again);
    for (int fd : {fa, fb, fc})
        ::close(fd);
    for (const auto& path : {a, b, c})
        ::unlink(path.c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
