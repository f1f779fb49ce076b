#include "flash/firmwarefile.h"

#include <gtest/gtest.h>

#include "core/crc16.h"
#include "fakeprompter.h"
#include "flash/crypt.h"
#include "flash/firmwarepack.h"

namespace kelmor::flash {
namespace {

using testing::FakePrompter;
using Texts = std::vector<std::string>;

// Two data bytes at 0x0100 and 0x0101, then the end record.
const std::string kText = "S0050000414277\r\nS10501001122C6\r\nS9030000FC\r\n";
const FirmwareKey kKey = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                          0x01, 0x23, 0x45, 0x67, 0x01, 0x23, 0x45, 0x67};

struct Checked {
    ContainerCheck check;
    FlashImage image;
    Texts messages;
};
Checked Check(const std::string& file, std::string_view extension, const FirmwareKey& key = kKey) {
    FakePrompter prompter;
    FlashImage image;
    ContainerCheck check = CheckContainerForImage(file, extension, key, image, prompter);
    return {check, std::move(image), prompter.Texts()};
}

TEST(Containers, PackThenCheckEveryKind) {
    struct Case {
        std::string_view marker, extension;
        int model;
    };
    for (Case c : {Case{kMarkerFlash, ".sf2", 0}, Case{kMarkerUhfNms, ".sf3", 1},
                   Case{kMarkerVhfNms, ".sf3", 2}}) {
        Checked r = Check(PackContainer(c.marker, kText, kKey), c.extension);
        EXPECT_TRUE(r.check.ok) << c.marker;
        EXPECT_TRUE(r.messages.empty()) << c.marker;
        EXPECT_TRUE(r.check.crcOk);
        EXPECT_EQ(r.check.marker, c.marker);
        EXPECT_EQ(r.check.model, c.model);
        EXPECT_EQ(r.check.programSize, 0x180u);
        ASSERT_EQ(r.image.size(), kFlashSize);
        EXPECT_EQ(r.image[0x100], 0x11);
        EXPECT_EQ(r.image[0x101], 0x22);
    }
    SffCheck sff = CheckSffContainer(PackContainer(kMarkerFlash, kText, kKey), kKey);
    EXPECT_EQ(sff.result, 0);
    EXPECT_EQ(sff.Text(), kText);
}

TEST(Containers, WrongKeyOrDamageIsRefused) {
    FirmwareKey other = kKey;
    other[15] ^= 1;
    std::string file = PackContainer(kMarkerFlash, kText, kKey);
    Checked r = Check(file, ".sf2", other);
    EXPECT_FALSE(r.check.ok);
    EXPECT_EQ(r.messages, Texts{kWrongKey});
    EXPECT_EQ(CheckSffContainer(file, other).result, kResultWrongKey);

    std::string damaged = file;
    damaged[20] ^= 0x01;  // one text byte
    r = Check(damaged, ".sf2");
    EXPECT_EQ(r.messages, Texts{kWrongCrc});
    EXPECT_EQ(CheckSffContainer(damaged, kKey).result, kResultWrongCrc);

    // The plain last byte also belongs to the CRC.
    damaged = file;
    damaged.back() ^= 0x80;
    EXPECT_EQ(Check(damaged, ".sf2").messages, Texts{kWrongCrc});
}

TEST(Containers, LastByteEncipheredTooFailsTheCrc) {
    std::string plain = std::string(kMarkerFlash) + kText;
    uint16_t crc = core::KermitCrc(reinterpret_cast<const uint8_t*>(plain.data()), plain.size());
    plain += static_cast<char>(crc >> 8);
    plain += static_cast<char>(crc & 0xFF);
    CCrypt crypt;
    CCrypt::KeySchedule schedule;
    crypt.ExpandKey(kKey.data(), kContainerRounds, true, schedule);
    std::string whole = plain;
    crypt.EncryptCfb(reinterpret_cast<uint8_t*>(whole.data()), whole.size(), schedule,
                     kContainerIv.data(), 4);
    EXPECT_EQ(Check(whole, ".sf2").messages, Texts{kWrongCrc});
    EXPECT_EQ(CheckSffContainer(whole, kKey).result, kResultWrongCrc);
    // The same bytes with the last one left plain are accepted.
    whole.back() = plain.back();
    EXPECT_TRUE(Check(whole, ".sf2").check.ok);
}

TEST(Containers, Sf3StartingWithZorvaFlashIsVhfAndTextStartsAtEleven) {
    // From offset 10 the text would be "SS1...", which stops at once with no data.
    std::string file = PackContainer(kMarkerFlash, "S" + kText, kKey);
    Checked r = Check(file, ".sf3");
    EXPECT_TRUE(r.check.ok);
    EXPECT_EQ(r.check.model, 2);
    EXPECT_EQ(r.check.programSize, 0x180u);
    EXPECT_FALSE(Check(file, ".sf2").check.ok);
}

TEST(Containers, UpperCaseSf3AcceptsOnlyZorvaFlashWithModelZero) {
    Checked r = Check(PackContainer(kMarkerUhfNms, kText, kKey), ".SF3");
    EXPECT_FALSE(r.check.ok);
    EXPECT_EQ(r.messages, Texts{kWrongKey});
    r = Check(PackContainer(kMarkerFlash, kText, kKey), ".SF3");
    EXPECT_TRUE(r.check.ok);
    EXPECT_EQ(r.check.model, 0);
    // ... and an NMS marker in an ".sf2" is no marker either.
    EXPECT_EQ(Check(PackContainer(kMarkerVhfNms, kText, kKey), ".sf2").messages, Texts{kWrongKey});
}

TEST(Containers, EmptyShortAndRecordErrors) {
    EXPECT_EQ(Check("", ".sf2").messages, Texts{kSf2Empty});
    EXPECT_EQ(Check("x", ".sf2").messages, Texts{kWrongKey});
    for (size_t n = 0; n < 13; ++n)
        EXPECT_EQ(CheckSffContainer(std::string(n, 'Z'), kKey).result, kResultWrongKey) << n;
    // A marker and its CRC but no text: the parser reports the missing records.
    Checked r = Check(PackContainer(kMarkerFlash, "", kKey), ".sf2");
    EXPECT_FALSE(r.check.ok);
    EXPECT_EQ(r.check.programSize, 0u);
    EXPECT_EQ(r.messages, Texts{kRecordChecksumError});
    EXPECT_EQ(r.check.message, kRecordChecksumError);
}

TEST(OemFiles, CheckedByTheirTrailingCrc) {
    FakePrompter prompter;
    FlashImage image = NewFlashImage();
    image[5] = 0x42;
    uint8_t r = 0;
    std::string file = PackOemFile(image, 256, [&] { return r++; });
    ASSERT_EQ(file.size(), 2 * 132 + 2u);
    OemFileCheck ok = CheckOemFile(file, prompter);
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.bodies, std::string_view(file).substr(0, 264));
    EXPECT_TRUE(prompter.Texts().empty());

    std::string bad = file;
    bad[100] ^= 1;
    EXPECT_FALSE(CheckOemFile(bad, prompter).ok);
    EXPECT_FALSE(CheckOemFile("", prompter).ok);
    EXPECT_FALSE(CheckOemFile("\x01", prompter).ok);
    // A good CRC over a partial packet: the engine would read past the file.
    std::string partial = "abc";
    uint16_t crc = core::OemFileCrc(partial);
    partial += static_cast<char>(crc >> 8);
    partial += static_cast<char>(crc & 0xFF);
    EXPECT_FALSE(CheckOemFile(partial, prompter).ok);
    EXPECT_EQ(prompter.Texts(), (Texts{kWrongCrc, kSf2Empty, kWrongCrc, kOemFileLength}));
}

TEST(FirmwareFiles, PlainRecordsMustStartWithS0) {
    EXPECT_EQ(CheckPlainSRecordData(kText), 0);
    EXPECT_EQ(CheckPlainSRecordData("S1050100"), kResultNotValidFile);
    EXPECT_EQ(CheckPlainSRecordData(""), kResultNotValidFile);
}

TEST(FirmwareFiles, KindByExtension) {
    struct Case {
        const char* path;
        FirmwareKind kind;
    };
    const Case cases[] = {{"a/b/fw.sff", FirmwareKind::Sff}, {"FW.SF2", FirmwareKind::Sf2},
                          {"x.Sf3", FirmwareKind::Sf3},      {"x.sfo", FirmwareKind::Sfo},
                          {"x.rec", FirmwareKind::SRecord},  {"x.a37", FirmwareKind::SRecord},
                          {"x.abc", FirmwareKind::SRecord},  {"x.a3", FirmwareKind::Unknown},
                          {"x.bin", FirmwareKind::Unknown},  {"sff", FirmwareKind::Unknown}};
    for (const Case& c : cases) EXPECT_EQ(KindOfPath(c.path), c.kind) << c.path;
}

}  // namespace
}  // namespace kelmor::flash
