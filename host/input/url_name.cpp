// The URL test of url_name.h.
#include "host/input/url_name.h"

#include <sstream>

const char kUrlProtocols[] =
    "http,https,ftp,sftp,rtmp,rtmps,rtmpt,rtmpts,rtsp,rtsps,rtp,srtp,udp,tcp,tls,srt,rist,"
    "crypto,httpproxy,ffrtmphttp";

namespace {

// The layers under the schemes a user types, which no one types.
bool IsLayer(const std::string& scheme) {
    return scheme == "crypto" || scheme == "httpproxy" || scheme == "ffrtmphttp";
}

}  // namespace

bool NamesUrl(const std::string& path) {
    const size_t colon = path.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    const std::string scheme = path.substr(0, colon);
    if (IsLayer(scheme)) return false;
    std::istringstream protocols(kUrlProtocols);
    std::string protocol;
    while (std::getline(protocols, protocol, ',')) {
        if (protocol == scheme) return true;
    }
    return false;
}
