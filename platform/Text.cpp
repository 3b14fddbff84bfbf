#include "platform/Text.h"

namespace platform {

namespace {

template <typename TPredicate>
std::string TrimWhere(const std::string& S, TPredicate IsTrimmed) {
    std::string::size_type B = 0, E = S.size();
    while (B < E && IsTrimmed(S[B])) {
        ++B;
    }
    while (E > B && IsTrimmed(S[E - 1])) {
        --E;
    }
    return S.substr(B, E - B);
}

char LowerAscii(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

} // namespace

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\v' || C == '\f';
}

std::string TrimBlanks(const std::string& S) {
    return TrimWhere(S, IsBlank);
}

std::string TrimBlanksAndControls(const std::string& S) {
    return TrimWhere(S, [](char C) { return static_cast<unsigned char>(C) <= 0x20; });
}

bool SameText(const std::string& A, const std::string& B) {
    if (A.size() != B.size()) {
        return false;
    }
    for (std::string::size_type i = 0; i < A.size(); ++i) {
        if (LowerAscii(A[i]) != LowerAscii(B[i])) {
            return false;
        }
    }
    return true;
}

} // namespace platform
