// A client's bytes as the web server reads them: requests one after the
// other through one parser, with small limits so that every limit is
// reached. The same bytes fed at once, one by one and in odd pieces must
// give the same requests and the same refusal: a request must never be read
// two ways depending on how the network cut it.
#include "FuzzSupport.h"
#include "HttpRequestParser.h"

#include <algorithm>
#include <vector>

using namespace nimbrel::web;

namespace {

struct Outcome {
    HttpRequestParser::State state;
    int status;
    QByteArray method;
    QByteArray target;
    QByteArray host;
    bool keepAlive;
    qint64 bodyBytes;
    bool operator==(const Outcome &) const = default;
};

std::vector<Outcome> parse(const char *data, qsizetype size, qsizetype piece)
{
    HttpLimits limits;
    limits.mostHeadBytes = 512;
    limits.mostHeaders = 8;
    limits.mostBodyBytes = 64;
    HttpRequestParser parser(limits);
    std::vector<Outcome> out;
    auto note = [&] {
        const HttpRequest &r = parser.request();
        out.push_back({parser.state(), parser.errorStatus(), r.method, r.target, r.host, r.keepAlive, r.bodyBytes});
    };
    qsizetype at = 0;
    while (at < size) {
        const qsizetype n = std::min(piece, size - at);
        const qsizetype used = parser.feed(data + at, n);
        NIMBREL_FUZZ_CHECK(used >= 0 && used <= n);
        at += used;
        const auto state = parser.state();
        if (state == HttpRequestParser::State::Complete) {
            const HttpRequest &r = parser.request();
            NIMBREL_FUZZ_CHECK(!r.method.isEmpty() && r.target.startsWith('/'));
            NIMBREL_FUZZ_CHECK(r.bodyBytes >= 0 && r.bodyBytes <= limits.mostBodyBytes);
            NIMBREL_FUZZ_CHECK(r.hasHost || r.minorVersion == 0);
            note();
            parser.reset();
        } else if (state == HttpRequestParser::State::Failed) {
            const int s = parser.errorStatus();
            NIMBREL_FUZZ_CHECK(s == 400 || s == 413 || s == 431 || s == 501 || s == 505);
            note();
            return out;
        } else {
            NIMBREL_FUZZ_CHECK(used == n);  // more is needed, so all was taken
        }
    }
    note();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    const auto length = static_cast<qsizetype>(size);
    const std::vector<Outcome> whole = parse(bytes, length, std::max<qsizetype>(length, 1));
    NIMBREL_FUZZ_CHECK(parse(bytes, length, 1) == whole);
    NIMBREL_FUZZ_CHECK(parse(bytes, length, 7) == whole);
    return 0;
}
