#include "SoundWriters.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>

namespace GenData {
namespace {

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void AppendPages(ogg_stream_state& os, std::string& out, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
    }
}

}  // namespace

std::string EncodeWav(const std::vector<float>& interleaved, int channels, int rate) {
    const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    std::string s;
    s.reserve(44 + dataBytes);
    s += "RIFF";
    Put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, static_cast<uint16_t>(channels));
    Put32(s, static_cast<uint32_t>(rate));
    Put32(s, static_cast<uint32_t>(rate * channels * 2));
    Put16(s, static_cast<uint16_t>(channels * 2));
    Put16(s, 16);
    s += "data";
    Put32(s, dataBytes);
    for (float v : interleaved) {
        const float c = std::max(-1.0f, std::min(1.0f, v));
        Put16(s, static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0f))));
    }
    return s;
}

std::string EncodeOgg(const std::vector<float>& interleaved, int channels, int rate, float quality,
                      const std::string& tag) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return {};
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    if (!tag.empty()) vorbis_comment_add(&vc, tag.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x4D495256);  // a fixed serial number keeps the bytes the same every run

    std::string out;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    AppendPages(os, out, true);

    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    const size_t chunk = 4096;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min(chunk, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buf[c][i] = interleaved[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                AppendPages(os, out, false);
                if (packet.e_o_s) eos = true;
            }
        }
        if (n == 0 && !eos) {
            AppendPages(os, out, true);
            break;
        }
    }
    AppendPages(os, out, true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

}  // namespace GenData
