// libmcrypt's Rijndael in ECB mode, the independent implementation our cipher and our database
// files are checked against: "rijndael-128", "-192" and "-256" are 16-, 24- and 32-byte blocks.
// Natively only (libmcrypt); the test adds its include folder and library.
#pragma once

#include <gtest/gtest.h>
#include <mcrypt.h>

#include <string>
#include <vector>

namespace testmcrypt {

// `data` enciphered or deciphered in place with `key`; empty when libmcrypt could not open the
// algorithm (reported through gtest).
inline std::vector<unsigned char> Ecb(int blockLength, std::vector<unsigned char> key,
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

} // namespace testmcrypt
