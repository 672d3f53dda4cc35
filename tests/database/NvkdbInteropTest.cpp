// nvkdb against an independent implementation of the format: a database laid out byte by byte
// here and encrypted with libmcrypt's rijndael-256 in ECB mode is dumped correctly, and what
// nvkdb writes decrypts with libmcrypt to the documented layout. Natively only (libmcrypt).
#include "tests/support/NvkdbTestSupport.h"
#include "tests/support/ImageBytes.h"
#include "tests/support/McryptEcb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace testimage;

std::vector<unsigned char> Mcrypt(std::vector<unsigned char> data, bool encrypt) {
    return testmcrypt::Ecb(32, std::vector<unsigned char>(kKey, kKey + 32), std::move(data), encrypt);
}

std::filesystem::path Scratch(const std::string& name) {
    return testfile::ScratchPath("nvkdb-interop", name);
}

using namespace nvkdbtest;

// The foreign database: a header, two accounts, a template, a free record with leftovers.
std::vector<unsigned char> ForeignImage() {
    std::vector<unsigned char> image(kImage, 0);
    for (int i = 0; i < 128; ++i)
        image[i] = static_cast<unsigned char>(i * 2 + 1); // odd, so never zero
    Put32(image, At(3, 4), 1);
    Put32(image, At(3, 12), 6);
    PutAscii(image, At(3, 16), "mallory");
    PutAscii(image, At(3, 80), "hunter");
    PutAscii(image, At(3, 144), "WORKGRP");
    Put32(image, At(3, 208), 3);
    Put32(image, At(3, 212), 16);
    const unsigned char sid[16] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0}; // S-1-5-32-544
    std::copy(std::begin(sid), std::end(sid), image.begin() + At(3, 216));
    Put32(image, AtSlot(3, 7, 12), 1);
    Put32(image, AtSlot(3, 7, 16), 0);
    Put32(image, AtSlot(3, 7, 24), 0x05060708);
    Put32(image, AtSlot(3, 7, 28), 0x01020304);
    Put32(image, AtSlot(3, 7, 32), 512);
    Put32(image, At(9, 4), 0x80000000);
    PutAscii(image, At(9, 16), "abcdefghijklmnopqrstuvwxyz012345"); // 32 units, no terminator
    PutAscii(image, At(9, 80), "Z");
    image[At(8, 100)] = 0x42; // a free record that is not all zero
    return image;
}

TEST(NvkdbInterop, DumpReadsADatabaseEncryptedByLibmcrypt) {
    const auto path = Scratch("foreign.edb");
    WriteBytes(path, Mcrypt(ForeignImage(), true));
    const Result text = Nvkdb({"dump", path.string(), "--show-passwords"});
    ASSERT_EQ(text.code, 0) << text.err;
    const std::string expected =
        "file: " + path.string() +
        "\nheader: 128 bytes, 128 nonzero, first 16: 01 03 05 07 09 0b 0d 0f 11 13 15 17 19 "
        "1b 1d 1f\n"
        "record 0: free (all zero)\n"
        "record 1: free (all zero)\n"
        "record 2: free (all zero)\n"
        "record 3: in use (0x00000001)\n"
        "  user: mallory\n"
        "  domain: WORKGRP\n"
        "  password length: 6\n"
        "  password: hunter\n"
        "  identity: type 3, sid size 16, S-1-5-32-544\n"
        "  slot 7: present 1, update 0, stamp 0x0102030405060708, length 512\n"
        "record 4: free (all zero)\n"
        "record 5: free (all zero)\n"
        "record 6: free (all zero)\n"
        "record 7: free (all zero)\n"
        "record 8: free (1 nonzero bytes)\n"
        "  user: \n"
        "  domain: \n"
        "  password length: 0\n"
        "  password: \n"
        "  identity: type 0, sid size 0\n"
        "record 9: in use (0x80000000)\n"
        "  user: abcdefghijklmnopqrstuvwxyz012345\n"
        "  domain: \n"
        "  password length: 0\n"
        "  password: Z\n"
        "  identity: type 0, sid size 0\n";
    EXPECT_EQ(text.out, expected);

    const Result json = Nvkdb({"dump", path.string(), "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    for (const char* piece :
         {"\"header\": {\"nonzero_bytes\": 128, \"first_bytes\": \"01030507090b0d0f11131517191b1d1f\"}",
          "{\"index\": 3, \"in_use\": 1, ",
          "\"user\": \"mallory\", \"domain\": \"WORKGRP\", \"password_length\": 6, "
          "\"password\": null, \"identity\": {\"type\": 3, \"sid_size\": 16, "
          "\"sid\": \"S-1-5-32-544\"}",
          "{\"finger\": 7, \"word0\": 0, \"present\": 1, \"update\": 0, \"stamp\": 72623859790382856, "
          "\"length\": 512}",
          "{\"index\": 9, \"in_use\": 2147483648, ", "\"user\": \"abcdefghijklmnopqrstuvwxyz012345\""})
        EXPECT_NE(json.out.find(piece), std::string::npos) << piece;
    EXPECT_EQ(json.out.find("hunter"), std::string::npos) << "passwords only on request";
    std::filesystem::remove(path);
}

TEST(NvkdbInterop, WhatNvkdbWritesDecryptsWithLibmcryptToTheLayout) {
    const auto path = Scratch("ours.edb");
    const auto data = Scratch("template.bin");
    WriteBytes(data, std::vector<unsigned char>(300, 0x5C));
    ASSERT_EQ(Nvkdb({"create", path.string()}).code, 0);
    ASSERT_EQ(Nvkdb({"account", path.string(), "5", "--user", "trent", "--password", "pa55", "--domain",
                     "CORP", "--sid", "S-1-5-21-10-20-30-1001"})
                  .code,
              0);
    ASSERT_EQ(Nvkdb({"template", path.string(), "5", "19", "--data-file", data.string(), "--stamp",
                     "0xAABBCCDD11223344"})
                  .code,
              0);
    const auto file = ReadBytes(path);
    ASSERT_EQ(file.size(), kImage);
    const auto image = Mcrypt(file, false);

    std::vector<unsigned char> expected(kImage, 0);
    Put32(expected, At(5, 4), 1);
    Put32(expected, At(5, 12), 4);
    PutAscii(expected, At(5, 16), "trent");
    PutAscii(expected, At(5, 80), "pa55");
    PutAscii(expected, At(5, 144), "CORP");
    Put32(expected, At(5, 208), 3);
    Put32(expected, At(5, 212), 28);
    const unsigned char sid[28] = {1, 5, 0,  0, 0, 0, 0,  5, 21, 0, 0,    0,    10, 0,
                                   0, 0, 20, 0, 0, 0, 30, 0, 0,  0, 0xE9, 0x03, 0,  0};
    std::copy(std::begin(sid), std::end(sid), expected.begin() + At(5, 216));
    Put32(expected, AtSlot(5, 19, 12), 1);
    Put32(expected, AtSlot(5, 19, 16), 1);
    Put32(expected, AtSlot(5, 19, 24), 0x11223344);
    Put32(expected, AtSlot(5, 19, 28), 0xAABBCCDD);
    Put32(expected, AtSlot(5, 19, 32), 300);
    std::fill(expected.begin() + AtSlot(5, 19, 4096), expected.begin() + AtSlot(5, 19, 4096 + 300), 0x5C);
    ASSERT_EQ(image.size(), expected.size());
    for (std::size_t i = 0; i < kImage; ++i)
        ASSERT_EQ(image[i], expected[i]) << "byte " << i;

    // Clearing the record gives back the all-zero image.
    ASSERT_EQ(Nvkdb({"clear", path.string(), "5"}).code, 0);
    const auto cleared = Mcrypt(ReadBytes(path), false);
    EXPECT_TRUE(cleared == std::vector<unsigned char>(kImage, 0));
    std::filesystem::remove(path);
    std::filesystem::remove(data);
}

TEST(NvkdbInterop, TheProgramItselfKeepsItsExitCodes) {
    const auto path = Scratch("exit.edb");
    const std::string tool = NVKDB_PROGRAM;
    auto run = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(run("frobnicate x"), 1);
    EXPECT_EQ(run("dump '" + path.string() + "'"), 3);
    WriteBytes(path, std::vector<unsigned char>(kImage + 1, 0));
    EXPECT_EQ(run("dump '" + path.string() + "'"), 4);
    EXPECT_EQ(run("create '" + path.string() + "'"), 3) << "an existing file is kept";
    EXPECT_EQ(run("create '" + path.string() + "' --force"), 0);
    EXPECT_EQ(run("account '" + path.string() + "' 10 --user a"), 2);
    EXPECT_EQ(run("dump '" + path.string() + "'"), 0);
    std::filesystem::remove(path);
}

} // namespace
