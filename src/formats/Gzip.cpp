#include "Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

bool isGzip(std::string_view text) { return text.size() >= 2 && text[0] == '\x1f' && text[1] == '\x8b'; }

bool inflateGzip(std::string_view text, std::string& out, std::string& why, size_t most)
{
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        why = "zlib can't start";
        return false;
    }
    out.clear();
    why.clear();
    const size_t chunk = 1 << 16;
    int status = Z_OK;
    size_t at = 0;
    while (status != Z_STREAM_END || (at < text.size() && isGzip(text.substr(at)))) {
        if (status == Z_STREAM_END) {  // the next member
            inflateReset(&z);
            status = Z_OK;
        }
        const size_t in = std::min(text.size() - at, static_cast<size_t>(UINT_MAX));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
        z.avail_in = static_cast<uInt>(in);
        const size_t before = out.size();
        out.resize(before + chunk);
        z.next_out = reinterpret_cast<Bytef*>(&out[before]);
        z.avail_out = chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.resize(before + chunk - z.avail_out);
        at += in - z.avail_in;
        if (out.size() > most) {
            why = "it inflates to more than " + std::to_string(most >> 20) + " MiB, more than an import reads";
            break;
        }
        if (status != Z_OK && status != Z_STREAM_END) {
            why = status == Z_BUF_ERROR ? "its data is cut short" : std::string("its data is broken (") +
                                                                        (z.msg ? z.msg : "zlib error") + ")";
            break;
        }
        if (status == Z_OK && at == text.size() && z.avail_out != 0) {
            why = "its data is cut short";
            break;
        }
    }
    inflateEnd(&z);
    return why.empty();
}
