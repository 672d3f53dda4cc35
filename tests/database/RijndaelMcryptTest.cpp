// CRijndael against libmcrypt, an independent Rijndael: "rijndael-128", "-192" and "-256" in ECB
// mode are our 16-, 24- and 32-byte blocks, with any of the three key lengths.
#include "database/Rijndael.h"

#include "tests/support/McryptEcb.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(RijndaelAgainstMcrypt, AllNineCombinationsOverRandomKeysAndData) {
    std::mt19937 random(20261209);
    auto bytes = [&](std::size_t n) {
        std::vector<unsigned char> v(n);
        for (auto& b : v)
            b = static_cast<unsigned char>(random());
        return v;
    };
    for (int blockLength : {16, 24, 32}) {
        for (int keyLength : {16, 24, 32}) {
            for (int round = 0; round < 20; ++round) {
                const auto key = bytes(static_cast<std::size_t>(keyLength));
                const auto data = bytes(static_cast<std::size_t>(blockLength) * (1 + random() % 40));
                CRijndael r;
                r.SetKey(key.data(), keyLength, blockLength);

                std::vector<unsigned char> ours(data.size());
                r.EncipherBuffer(data.data(), ours.data(), data.size());
                ASSERT_EQ(ours, testmcrypt::Ecb(blockLength, key, data, true))
                    << keyLength << "/" << blockLength;

                // Decipher something that is not our own ciphertext, too.
                std::vector<unsigned char> back(data.size());
                r.DecipherBuffer(data.data(), back.data(), data.size());
                ASSERT_EQ(back, testmcrypt::Ecb(blockLength, key, data, false))
                    << keyLength << "/" << blockLength;
            }
        }
    }
}

} // namespace
