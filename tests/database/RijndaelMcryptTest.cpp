// CRijndael against libmcrypt, an independent Rijndael: "rijndael-128", "-192" and "-256" in ECB
// mode are our 16-, 24- and 32-byte blocks, with any of the three key lengths. Once per path of
// CRijndael that this processor runs.
#include "database/Rijndael.h"
#include "database/RijndaelPath.h"

#include "tests/support/RijndaelPathSupport.h"
#include "tests/support/McryptEcb.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<unsigned char> RandomBytes(std::mt19937& random, std::size_t n) {
    std::vector<unsigned char> v(n);
    for (auto& b : v)
        b = static_cast<unsigned char>(random());
    return v;
}

class RijndaelAgainstMcrypt : public testing::TestWithParam<nvdb::RijndaelPath> {};

// Block counts from 1 to 33 cover every remainder after the groups of four, eight and sixteen
// blocks that the instruction paths take at once; the rest are random.
TEST_P(RijndaelAgainstMcrypt, AllNineCombinationsOverRandomKeysAndData) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
    std::mt19937 random(20261209);
    for (int blockLength : {16, 24, 32}) {
        for (int keyLength : {16, 24, 32}) {
            for (std::size_t round = 0; round < 40; ++round) {
                const auto key = RandomBytes(random, static_cast<std::size_t>(keyLength));
                const std::size_t blocks = round < 33 ? round + 1 : 34 + random() % 200;
                const auto data = RandomBytes(random, static_cast<std::size_t>(blockLength) * blocks);
                CRijndael r;
                r.SetKey(key.data(), keyLength, blockLength);

                std::vector<unsigned char> ours(data.size());
                r.EncipherBuffer(data.data(), ours.data(), data.size());
                ASSERT_EQ(ours, testmcrypt::Ecb(blockLength, key, data, true))
                    << keyLength << "/" << blockLength << ", " << blocks << " blocks";

                // Decipher something that is not our own ciphertext, too.
                std::vector<unsigned char> back(data.size());
                r.DecipherBuffer(data.data(), back.data(), data.size());
                ASSERT_EQ(back, testmcrypt::Ecb(blockLength, key, data, false))
                    << keyLength << "/" << blockLength << ", " << blocks << " blocks";
            }
        }
    }
}

// The database's use: one call over the whole image, in place, here at an odd address.
TEST_P(RijndaelAgainstMcrypt, WholeDatabaseImageInPlace) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
    constexpr std::size_t kImage = 9'014'528;
    std::mt19937 random(9014528);
    const auto key = RandomBytes(random, 32);
    const auto data = RandomBytes(random, kImage);
    std::vector<unsigned char> buffer(kImage + 1);
    std::copy(data.begin(), data.end(), buffer.begin() + 1);

    CRijndael r;
    r.SetKey(key.data(), 32, 32);
    r.EncipherBuffer(buffer.data() + 1, buffer.data() + 1, kImage);
    EXPECT_TRUE(std::vector<unsigned char>(buffer.begin() + 1, buffer.end()) ==
                testmcrypt::Ecb(32, key, data, true));
    std::copy(data.begin(), data.end(), buffer.begin() + 1);
    r.DecipherBuffer(buffer.data() + 1, buffer.data() + 1, kImage);
    EXPECT_TRUE(std::vector<unsigned char>(buffer.begin() + 1, buffer.end()) ==
                testmcrypt::Ecb(32, key, data, false));
}

INSTANTIATE_TEST_SUITE_P(EveryPath, RijndaelAgainstMcrypt, cipherpath::kEveryPath, cipherpath::ParamName);

} // namespace
