// How an input names a URL, and the protocols FFmpeg's libraries may use to
// read one: asked by the dispatcher (which sends a URL to those libraries
// and nowhere else) and by the video reader (which opens it as it is,
// where a file's name is opened as a file).
#pragma once

#include <string>

// Whether PATH is a URL rozove reads: "SCHEME://..." for one of the
// schemes of kUrlProtocols that a user types (http, https, ftp, sftp,
// rtmp, rtmps, rtmpt, rtmpts, rtsp, rtsps, rtp, srtp, udp, tcp, tls, srt,
// rist), in lower case as FFmpeg takes it. Anything else is a file's
// name, colons and all.
bool NamesUrl(const std::string& path);

// The protocols a URL's reading may use, as FFmpeg's protocol_whitelist
// takes them: the schemes above and the layers under them (crypto for
// encrypted HLS segments, httpproxy, ffrtmphttp), but not the file
// protocol, so that a playlist fetched from a server cannot make rozove
// read a local file.
extern const char kUrlProtocols[];
