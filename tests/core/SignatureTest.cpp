// Base64 text and the Ed25519 check of whole files.
#include "platform/Signature.h"
#include "platform/Base64.h"
#include "platform/LastError.h"
#include "tests/support/Signing.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

using namespace platform;
using testsupport::TSigningKey;
using testsupport::TTempDir;

namespace {

std::string FromHex(const std::string& Hex) {
    std::string Bytes;
    for (std::string::size_type At = 0; At + 1 < Hex.size(); At += 2) {
        Bytes += static_cast<char>(std::stoi(Hex.substr(At, 2), nullptr, 16));
    }
    return Bytes;
}

TEd25519Key KeyOf(const TSigningKey& Signer) {
    return *ParseEd25519Key(Signer.PublicKeyBase64());
}

TEd25519Signature SignatureOf(const std::string& Bytes) {
    return *ParseEd25519Signature(EncodeBase64(Bytes));
}

} // namespace

TEST(Base64, DecodesWhatItEncodesAndRefusesAnythingElse) {
    const struct {
        const char* Bytes;
        const char* Text;
    } Known[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"}};
    for (const auto& K : Known) {
        EXPECT_EQ(EncodeBase64(K.Bytes), K.Text);
        EXPECT_EQ(DecodeBase64(K.Text), std::string(K.Bytes)) << K.Text;
    }
    const std::string Binary = testsupport::BinaryPattern(1000, 7);
    for (std::size_t Length = 0; Length <= 66; ++Length) {
        EXPECT_EQ(DecodeBase64(EncodeBase64(Binary.substr(0, Length))), Binary.substr(0, Length)) << Length;
    }
    // A file's line end, a text wrapped over lines, blanks around it: the same bytes.
    EXPECT_EQ(DecodeBase64("Zm9v\nYmFy\r\n"), "foobar");
    EXPECT_EQ(DecodeBase64("  Zm9vYg==\t"), "foob");
    for (const char* Garbled : {"Zm9", "Zm9vY", "Zm=v", "Z===", "Zm9vYg===", "Zm9v!mFy",
                                "Zh==", "Zm9=", "<html>", "Zm9vYmFy\x01"}) {
        EXPECT_FALSE(DecodeBase64(Garbled)) << Garbled; // bad length, stray padding, strays, unused bits set
    }
}

TEST(Signature, KeysAndSignaturesMustBeExactlyTheirSize) {
    const std::string Key32(32, '\x11'), Sig64(64, '\x22');
    EXPECT_TRUE(ParseEd25519Key(EncodeBase64(Key32)));
    EXPECT_TRUE(ParseEd25519Key(EncodeBase64(Key32) + "\n"));
    EXPECT_FALSE(ParseEd25519Key(EncodeBase64(Key32.substr(1))));
    EXPECT_FALSE(ParseEd25519Key(EncodeBase64(Key32 + "x")));
    EXPECT_FALSE(ParseEd25519Key(EncodeBase64(Sig64)));
    EXPECT_FALSE(ParseEd25519Key("not a key"));
    EXPECT_FALSE(ParseEd25519Key(""));
    EXPECT_TRUE(ParseEd25519Signature(EncodeBase64(Sig64) + "\r\n"));
    EXPECT_FALSE(ParseEd25519Signature(EncodeBase64(Sig64.substr(1))));
    EXPECT_FALSE(ParseEd25519Signature(EncodeBase64(Key32)));
}

// The published examples of the algorithm: our check agrees with Ed25519 as specified, not just with itself.
TEST(Signature, AcceptsThePublishedExamples) {
    TTempDir Dir;
    const struct {
        const char* Key;
        const char* Message;
        const char* Signature;
    } Examples[] = {
        {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
         "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
        {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
         "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    };
    for (const auto& E : Examples) {
        const std::string File = Dir.Write("message", FromHex(E.Message));
        const TEd25519Key Key = *ParseEd25519Key(EncodeBase64(FromHex(E.Key)));
        EXPECT_EQ(VerifyFileSignature(File, Key, SignatureOf(FromHex(E.Signature))), TSignatureCheck::Valid)
            << E.Key;
        std::string Flipped = FromHex(E.Signature);
        Flipped[63] = static_cast<char>(Flipped[63] ^ 0x01);
        EXPECT_EQ(VerifyFileSignature(File, Key, SignatureOf(Flipped)), TSignatureCheck::Invalid) << E.Key;
    }
}

TEST(Signature, AcceptsOnlyTheSignedBytesUnderTheSignersKey) {
    TTempDir Dir;
    const TSigningKey Signer, Stranger;
    const std::string Bytes = testsupport::BinaryPattern(3 * 1024 * 1024 + 17);
    const std::string File = Dir.Write("setup.exe", Bytes);
    const TEd25519Signature Good = SignatureOf(Signer.Sign(Bytes));
    EXPECT_EQ(VerifyFileSignature(File, KeyOf(Signer), Good), TSignatureCheck::Valid);

    EXPECT_EQ(VerifyFileSignature(File, KeyOf(Stranger), Good), TSignatureCheck::Invalid);
    EXPECT_EQ(VerifyFileSignature(File, KeyOf(Signer), SignatureOf(Stranger.Sign(Bytes))),
              TSignatureCheck::Invalid);
    EXPECT_EQ(VerifyFileSignature(File, KeyOf(Signer), SignatureOf(Signer.Sign(Bytes + "x"))),
              TSignatureCheck::Invalid);
    for (const std::size_t At : {std::size_t{0}, Bytes.size() / 2, Bytes.size() - 1}) {
        std::string Changed = Bytes;
        Changed[At] = static_cast<char>(Changed[At] ^ 0x40);
        EXPECT_EQ(VerifyFileSignature(Dir.Write("changed.exe", Changed), KeyOf(Signer), Good),
                  TSignatureCheck::Invalid)
            << At;
    }
    EXPECT_EQ(
        VerifyFileSignature(Dir.Write("short.exe", Bytes.substr(0, Bytes.size() - 1)), KeyOf(Signer), Good),
        TSignatureCheck::Invalid);
    // The empty file has its own signature.
    EXPECT_EQ(VerifyFileSignature(Dir.Write("empty.exe", ""), KeyOf(Signer), SignatureOf(Signer.Sign(""))),
              TSignatureCheck::Valid);
    EXPECT_EQ(VerifyFileSignature(Dir.File("empty.exe"), KeyOf(Signer), Good), TSignatureCheck::Invalid);
}

TEST(Signature, AKeyThatIsNoCurvePointVerifiesNothing) {
    TTempDir Dir;
    const TSigningKey Signer;
    const std::string File = Dir.Write("setup.exe", "installer");
    TEd25519Key Broken{};
    Broken.fill(0xFF); // y above the field's prime: no point of the curve
    EXPECT_EQ(VerifyFileSignature(File, Broken, SignatureOf(Signer.Sign("installer"))),
              TSignatureCheck::Invalid);
}

TEST(Signature, AFileThatCannotBeReadIsNeitherValidNorInvalid) {
    TTempDir Dir;
    const TSigningKey Signer;
    const TEd25519Signature Any = SignatureOf(Signer.Sign(""));
    EXPECT_EQ(VerifyFileSignature(Dir.File("missing.exe"), KeyOf(Signer), Any), TSignatureCheck::Unreadable);
    EXPECT_EQ(GetLastError(), ENOENT);
    EXPECT_EQ(VerifyFileSignature(Dir.Path(), KeyOf(Signer), Any), TSignatureCheck::Unreadable);
    EXPECT_EQ(GetLastError(), EISDIR);
}
