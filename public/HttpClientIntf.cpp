#include "public/HttpClientIntf.h"

#include "public/HttpClientImpl.h"

#include <cstring>

void TShortString16::Assign(const std::string& Value) {
    std::size_t Len = Value.size() < sizeof Text ? Value.size() : sizeof Text;
    if (Len < Value.size()) {
        // Cut on a character boundary: never half a UTF-8 sequence.
        while (Len > 0 && (static_cast<unsigned char>(Value[Len]) & 0xC0) == 0x80) {
            --Len;
        }
    }
    std::memset(Text, 0, sizeof Text);
    std::memcpy(Text, Value.data(), Len);
    Length = static_cast<std::uint8_t>(Len);
}

THttpDownloadInfo MakeDownloadInfo(THttpDownloadStatus Status, std::int32_t Tag) {
    THttpDownloadInfo Info;
    Info.Reserved = 1;
    Info.Status = Status;
    Info.Tag = Tag;
    Info.ResultCode = -1;
    Info.RemainTimeText.Assign(FormatRemainTime(0));
    Info.SpeedText.Assign(FormatSpeed(0));
    return Info;
}

namespace {

// The shared client: empty until the first GetHttpClient, released when the program's statics go.
std::shared_ptr<IHttpClient> SharedClient;

} // namespace

std::shared_ptr<IHttpClient> GetHttpClient() {
    if (!SharedClient) {
        SharedClient = std::make_shared<THttpClient>();
    }
    return SharedClient;
}
