// Sizes as people read them, and names in the charset of the text they end up in.
#include <gtest/gtest.h>

#include "output/AttachmentOutput.h"

namespace lumbrook {
namespace {

TEST(AttachmentOutput, SizesStepAtEach1024AndNamesConvertWithoutLoss) {
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {0, "0 bytes"},           {1, "1 byte"},           {1023, "1023 bytes"},
        {1024, "1.0 KB"},         {1536, "1.5 KB"},        {10188, "9.9 KB"},
        {10189, "10 KB"},         {1048575, "1.0 MB"},     {5 * 1048576 + 104858, "5.1 MB"},
        {1ULL << 40, "1.0 TB"},   {~0ULL, "16 EB"}};
    for (const auto& [size, text] : sizes) EXPECT_EQ(formatByteSize(size), text) << size;

    EXPECT_EQ(htmlAsciiText("<\"M\xC3\xA4rz\" & \xF0\x9F\x93\x8E>\x01"),
              "&lt;&quot;M&#228;rz&quot; &amp; &#128206;&gt;&#xFFFD;");
}

}  // namespace
}  // namespace lumbrook
