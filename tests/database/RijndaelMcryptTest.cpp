// CRijndael against libmcrypt, an independent Rijndael: "rijndael-128", "-192" and "-256" in ECB
// mode are our 16-, 24- and 32-byte blocks, with any of the three key lengths.
#include "database/Rijndael.h"

#include <gtest/gtest.h>
#include <mcrypt.h>

#include <random>
#include <vector>

namespace {

std::vector<unsigned char> McryptEcb(int blockLength, std::vector<unsigned char> key,
                                     std::vector<unsigned char> data, bool encrypt) {
    std::string algorithm = "rijndael-" + std::to_string(blockLength * 8);
    MCRYPT td = mcrypt_module_open(algorithm.data(), nullptr, const_cast<char*>("ecb"), nullptr);
    // MCRYPT_FAILED is a null handle spelled as an integer cast.
    const bool opened = td != MCRYPT_FAILED;
    EXPECT_TRUE(opened) << algorithm;
    if (!opened)
        return {};
    EXPECT_EQ(mcrypt_enc_get_block_size(td), blockLength);
    EXPECT_EQ(mcrypt_generic_init(td, key.data(), static_cast<int>(key.size()), nullptr), 0);
    if (encrypt)
        mcrypt_generic(td, data.data(), static_cast<int>(data.size()));
    else
        mdecrypt_generic(td, data.data(), static_cast<int>(data.size()));
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);
    return data;
}

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
                ASSERT_EQ(ours, McryptEcb(blockLength, key, data, true)) << keyLength << "/" << blockLength;

                // Decipher something that is not our own ciphertext, too.
                std::vector<unsigned char> back(data.size());
                r.DecipherBuffer(data.data(), back.data(), data.size());
                ASSERT_EQ(back, McryptEcb(blockLength, key, data, false)) << keyLength << "/" << blockLength;
            }
        }
    }
}

} // namespace
