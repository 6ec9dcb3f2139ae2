// Scrambling schemes and checksum pairs, against values worked out by hand
// and against the file builder's own implementation.
#include <gtest/gtest.h>

#include <vector>

#include "files/EncryptionMode1.h"
#include "files/EncryptionPSW.h"
#include "files/FileChecksum.h"
#include "sim/mkfile/MkFile.h"

using Buffer = std::vector<unsigned char>;

TEST(Scrambling, OddKeyRotationRisesEveryFourBytes) {
    Buffer b(36, 0x00);
    EncryptionPSW::EncryptionBuffer(0x01, b.data(), 0, b.size());
    // NOT(0x01 XOR 0x00) = 0xFE, rotated left by (i >> 2) & 7: every position,
    // so 3 (rotation 0), 4 (1), 28 and 31 (7) and 32 (back to 0) among them.
    const unsigned char expected[] = {0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F, 0xFE};
    for (size_t i = 0; i < b.size(); ++i) EXPECT_EQ(b[i], expected[i / 4]) << "position " << i;
    Buffer part(10, 0x00);  // from a start offset: the bytes before it stay
    EncryptionPSW::EncryptionBuffer(0x01, part.data(), 4, 5);
    EXPECT_EQ(part, (Buffer{0, 0, 0, 0, 0xFE, 0xFE, 0xFE, 0xFE, 0xFD, 0}));
}

TEST(Scrambling, EvenKeyRotationRisesEveryThirtyTwoBytes) {
    Buffer b(260, 0x00);
    EncryptionPSW::EncryptionBuffer(0x02, b.data(), 0, b.size());
    EXPECT_EQ(b[0], 0x02);
    EXPECT_EQ(b[31], 0x02);   // rotation 0
    EXPECT_EQ(b[32], 0x01);   // rotation 1: 0x02 rotated right
    EXPECT_EQ(b[64], 0x80);   // rotation 2
    EXPECT_EQ(b[224], 0x04);  // rotation 7 = left by one
    EXPECT_EQ(b[256], 0x02);  // wraps every 256 bytes
}

TEST(Scrambling, ShortLengthsAndKeyZeroChangeNothing) {
    Buffer b = {1, 2, 3};
    EncryptionPSW::DecryptionBuffer(0x05, b.data(), 0, 0);
    EncryptionPSW::DecryptionBuffer(0x05, b.data(), 0, -4);
    EncryptionMode1::DecryptionBuffer(0x05, b.data(), 0, 0);
    EncryptionPSW::DecryptionBuffer(0x00, b.data(), 0, 3);  // key 0: plain
    EncryptionMode1::DecryptionBuffer(0x00, b.data(), 0, 3);
    EXPECT_EQ(b, (Buffer{1, 2, 3}));
}

TEST(Scrambling, ModeOneAlternatesComplementAndWrapsTheKey) {
    Buffer b(4, 0x00);
    EncryptionMode1::EncryptionBuffer(0xFE, b.data(), 0, b.size());
    EXPECT_EQ(b, (Buffer{0x01, 0xFF, 0xFF, 0x01}));  // m = FE, FF, 00, 01
}

TEST(Scrambling, EveryKeyRoundTripsInBothFamiliesAndMatchesTheBuilder) {
    const mkfile::Bytes plain = mkfile::Pattern(603, 11);  // not a multiple of a word
    for (int key = 1; key <= 255; ++key) {
        const unsigned char k = static_cast<unsigned char>(key);
        Buffer psw(plain.begin(), plain.end());
        EncryptionPSW::EncryptionBuffer(k, psw.data(), 0, psw.size());
        mkfile::Bytes built = plain;
        mkfile::ScramblePackage(k, built.data(), built.size());
        ASSERT_EQ(psw, Buffer(built.begin(), built.end())) << "key " << key;
        ASSERT_NE(psw, Buffer(plain.begin(), plain.end())) << "key " << key;
        EncryptionPSW::DecryptionBuffer(k, psw.data(), 0, psw.size());
        ASSERT_EQ(psw, Buffer(plain.begin(), plain.end())) << "key " << key;

        Buffer m1(plain.begin(), plain.end());
        EncryptionMode1::EncryptionBuffer(k, m1.data(), 0, m1.size());
        built = plain;
        mkfile::ScrambleMode1(k, built.data(), built.size());
        ASSERT_EQ(m1, Buffer(built.begin(), built.end())) << "key " << key;
        EncryptionMode1::DecryptionBuffer(k, m1.data(), 0, m1.size());
        ASSERT_EQ(m1, Buffer(plain.begin(), plain.end())) << "key " << key;
    }
}

TEST(Checksum, PairByHandAndIndexWrapsAt65536) {
    const unsigned char small[] = {0x01, 0x02, 0x03};
    FileChecksum c = FileChecksum::Compute(small, 3);
    EXPECT_EQ(c.uiChecksum1, 6);
    EXPECT_EQ(c.uiChecksum2, 5);  // 1^0 + 2^1 + 3^2

    Buffer zeros(32768, 0);
    c = FileChecksum::Compute(zeros.data(), zeros.size());
    EXPECT_EQ(c.uiChecksum1, 0);
    EXPECT_EQ(c.uiChecksum2, 0xC000);  // sum of 0..32767

    Buffer longer(65537 + 10, 0);
    longer[65536] = 0x07;  // index 65536 reads as 0
    c = FileChecksum::Compute(longer.data(), 65537);
    EXPECT_EQ(c.uiChecksum1, 7);
    EXPECT_EQ(c.uiChecksum2, static_cast<uint16_t>(0x8000 + 7));

    // Against the file maker's own sum: odd lengths, all-ones bytes (the
    // largest partial sums), and a start that is not word-aligned.
    const mkfile::Bytes random = mkfile::Pattern(200000, 4);
    const Buffer ones(65536 + 300, 0xFF);
    const struct {
        const unsigned char* data;
        size_t size;
    } runs[] = {{random.data(), random.size()},
                {random.data() + 3, 70001},
                {ones.data(), ones.size()},
                {ones.data(), 255}};
    for (const auto& run : runs) {
        c = FileChecksum::Compute(run.data, run.size);
        mkfile::ChecksumPair built = mkfile::Checksum(run.data, run.size);
        EXPECT_EQ(c.uiChecksum1, built.sum1) << run.size;
        EXPECT_EQ(c.uiChecksum2, built.sum2) << run.size;
    }
}
