// The read buffer beneath the file functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/fileio.h"
#include "scratch.h"

using Bytes = std::vector<uint8_t>;

// Small reads, seeks inside and
// outside the buffered block, a large read that starts in the buffer, and
// writes after reads all see the file as it is.
TEST(FileIo, BufferedReadsSeeksAndWritesAgree)
{
    ScratchFolder s;
    Bytes content(300000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = (uint8_t)(i * 7 + i / 251);
    WriteBytes(s / "data.bin", content);
    HVOFILE file = VoFileOpen(ToVo(s / "data.bin").c_str(), VO_ACCESS_READ | VO_ACCESS_WRITE, 0, VO_OPEN_EXISTING);
    ASSERT_NE(file, nullptr);
    auto readAt = [&](int64_t position, uint32_t size) {
        Bytes out(size);
        uint32_t done = 0;
        EXPECT_TRUE(VoFileSeek(file, position));
        EXPECT_TRUE(VoFileRead(file, out.data(), size, &done));
        out.resize(done);
        return out;
    };
    auto expect = [&](int64_t position, uint32_t size) {
        size_t end = std::min(content.size(), (size_t)position + size);
        return Bytes(content.begin() + position, content.begin() + (ptrdiff_t)end);
    };
    EXPECT_EQ(readAt(0, 84), expect(0, 84));
    EXPECT_EQ(VoFileTell(file), 84);
    EXPECT_EQ(readAt(100, 10), expect(100, 10));          // inside the block
    EXPECT_EQ(readAt(65530, 20), expect(65530, 20));      // across its end
    EXPECT_EQ(readAt(200000, 84), expect(200000, 84));    // far away
    EXPECT_EQ(readAt(200010, 100000), expect(200010, 100000));  // large, past the end
    EXPECT_EQ(VoFileTell(file), 300000);
    // Records and data in turn, as an extraction reads them: a large read
    // elsewhere leaves the block of records usable.
    EXPECT_EQ(readAt(200, 84), expect(200, 84));
    EXPECT_EQ(readAt(150000, 40000), expect(150000, 40000));
    EXPECT_EQ(readAt(284, 84), expect(284, 84));
    EXPECT_EQ(VoFileTell(file), 368);
    EXPECT_TRUE(VoFileSeek(file, 5000));
    EXPECT_EQ(VoFileTell(file), 5000);
    EXPECT_FALSE(VoFileSeek(file, -1));
    // A write lands where the caller stands, not where the system read to.
    EXPECT_EQ(readAt(1000, 4), expect(1000, 4));
    const uint8_t patch[3] = {0xAA, 0xBB, 0xCC};
    ASSERT_TRUE(VoFileWrite(file, patch, 3));
    std::copy(patch, patch + 3, content.begin() + 1004);
    EXPECT_EQ(VoFileTell(file), 1007);
    EXPECT_EQ(readAt(1000, 16), expect(1000, 16));
    EXPECT_EQ(readAt(299990, 50), expect(299990, 50));
    // Writing past the end grows the file; its size is asked afresh.
    ASSERT_TRUE(VoFileSeek(file, 300000));
    ASSERT_TRUE(VoFileWrite(file, patch, 3));
    content.insert(content.end(), patch, patch + 3);
    EXPECT_EQ(VoFileGetSize(file), 300003);
    VoFileClose(file);
    EXPECT_EQ(ReadBytes(s / "data.bin"), content);
}
