// The checksum by which the journal knows its records and the run's files again.
#include <gtest/gtest.h>

#include <vector>

#include "Checksum.h"

TEST(Checksum, KnownValueAndAnyCutContinues)
{
    const char text[] = "123456789";
    EXPECT_EQ(0xCBF43926u, Crc32(0, text, 9));
    EXPECT_EQ(0u, Crc32(0, text, 0));
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    const uint32_t whole = Crc32(0, bytes.data(), bytes.size());
    for (size_t cut : {1u, 7u, 8u, 9u, 500u, 999u})
        EXPECT_EQ(whole, Crc32(Crc32(0, bytes.data(), cut), bytes.data() + cut, bytes.size() - cut)) << cut;
}
