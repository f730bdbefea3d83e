// Writing the rendered sound: Ogg Vorbis for the music (libvorbisenc) and
// 16-bit PCM WAV for the effects. Both go to a temporary file beside the
// target and are renamed over it, so a failed build never leaves half a file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vorbis/vorbisenc.h>

#include "synth.h"

static int WriteAll(FILE* File, const void* Data, size_t Size);
static int Finish(FILE* File, int Ok, const std::string& Temp, const std::string& Path);

int WriteOggVorbis(const std::string& Path, const std::vector<float>& Stereo, double Quality)
{
    std::string Temp = Path + ".part";
    FILE* File = std::fopen(Temp.c_str(), "wb");
    if (!File)
        return 0;
    vorbis_info Info;
    vorbis_info_init(&Info);
    if (vorbis_encode_init_vbr(&Info, 2, SynthRate, float(Quality)) != 0) {
        vorbis_info_clear(&Info);
        return Finish(File, 0, Temp, Path);
    }
    vorbis_comment Comment;
    vorbis_comment_init(&Comment);
    vorbis_comment_add_tag(&Comment, "TITLE", "Kistora");
    vorbis_comment_add_tag(&Comment, "ENCODER", "kistora-synth");
    vorbis_dsp_state Dsp;
    vorbis_block Block;
    vorbis_analysis_init(&Dsp, &Info);
    vorbis_block_init(&Dsp, &Block);
    ogg_stream_state Stream;
    ogg_stream_init(&Stream, 0x4b697374); // fixed serial: the same score gives the same bytes
    ogg_packet Header, HeaderComment, HeaderCode;
    vorbis_analysis_headerout(&Dsp, &Comment, &Header, &HeaderComment, &HeaderCode);
    ogg_stream_packetin(&Stream, &Header);
    ogg_stream_packetin(&Stream, &HeaderComment);
    ogg_stream_packetin(&Stream, &HeaderCode);
    int Ok = 1;
    ogg_page Page;
    while (Ok && ogg_stream_flush(&Stream, &Page)) {
        Ok = WriteAll(File, Page.header, size_t(Page.header_len)) && WriteAll(File, Page.body, size_t(Page.body_len));
    }
    const size_t Frames = Stereo.size() / 2;
    const size_t Chunk = 4096;
    size_t Done = 0;
    int End = 0;
    while (Ok && !End) {
        size_t Count = std::min(Chunk, Frames - Done);
        if (Count == 0) {
            vorbis_analysis_wrote(&Dsp, 0); // end of stream
        } else {
            float** Buffer = vorbis_analysis_buffer(&Dsp, int(Count));
            for (size_t I = 0; I < Count; I++) {
                Buffer[0][I] = Stereo[2 * (Done + I)];
                Buffer[1][I] = Stereo[2 * (Done + I) + 1];
            }
            vorbis_analysis_wrote(&Dsp, int(Count));
            Done += Count;
        }
        while (Ok && vorbis_analysis_blockout(&Dsp, &Block) == 1) {
            vorbis_analysis(&Block, nullptr);
            vorbis_bitrate_addblock(&Block);
            ogg_packet Packet;
            while (Ok && vorbis_bitrate_flushpacket(&Dsp, &Packet)) {
                ogg_stream_packetin(&Stream, &Packet);
                while (Ok && ogg_stream_pageout(&Stream, &Page)) {
                    Ok = WriteAll(File, Page.header, size_t(Page.header_len)) &&
                         WriteAll(File, Page.body, size_t(Page.body_len));
                    if (ogg_page_eos(&Page))
                        End = 1;
                }
            }
        }
        if (Count == 0)
            End = 1;
    }
    while (Ok && ogg_stream_flush(&Stream, &Page)) {
        Ok = WriteAll(File, Page.header, size_t(Page.header_len)) && WriteAll(File, Page.body, size_t(Page.body_len));
    }
    ogg_stream_clear(&Stream);
    vorbis_block_clear(&Block);
    vorbis_dsp_clear(&Dsp);
    vorbis_comment_clear(&Comment);
    vorbis_info_clear(&Info);
    return Finish(File, Ok, Temp, Path);
}

int WriteWav16(const std::string& Path, const std::vector<float>& Stereo)
{
    std::string Temp = Path + ".part";
    FILE* File = std::fopen(Temp.c_str(), "wb");
    if (!File)
        return 0;
    const uint32_t DataBytes = uint32_t(Stereo.size() * 2);
    uint8_t Head[44];
    auto Put32 = [&Head](int At, uint32_t V) {
        for (int K = 0; K < 4; K++)
            Head[At + K] = uint8_t(V >> (8 * K));
    };
    auto Put16 = [&Head](int At, uint16_t V) {
        Head[At] = uint8_t(V);
        Head[At + 1] = uint8_t(V >> 8);
    };
    std::memcpy(Head, "RIFF", 4);
    Put32(4, 36 + DataBytes);
    std::memcpy(Head + 8, "WAVEfmt ", 8);
    Put32(16, 16); // fmt chunk size
    Put16(20, 1);  // PCM
    Put16(22, 2);  // channels
    Put32(24, SynthRate);
    Put32(28, SynthRate * 4); // bytes per second
    Put16(32, 4);             // bytes per frame
    Put16(34, 16);            // bits per sample
    std::memcpy(Head + 36, "data", 4);
    Put32(40, DataBytes);
    std::vector<uint8_t> Body(DataBytes);
    for (size_t I = 0; I < Stereo.size(); I++) {
        long V = std::lround(std::clamp(double(Stereo[I]), -1.0, 1.0) * 32767.0);
        uint16_t U = uint16_t(int16_t(V));
        Body[2 * I] = uint8_t(U);
        Body[2 * I + 1] = uint8_t(U >> 8);
    }
    int Ok = WriteAll(File, Head, sizeof Head) && WriteAll(File, Body.data(), Body.size());
    return Finish(File, Ok, Temp, Path);
}

static int WriteAll(FILE* File, const void* Data, size_t Size)
{
    return Size == 0 || std::fwrite(Data, 1, Size, File) == Size;
}

static int Finish(FILE* File, int Ok, const std::string& Temp, const std::string& Path)
{
    if (std::fclose(File) != 0)
        Ok = 0;
    if (Ok && std::rename(Temp.c_str(), Path.c_str()) != 0)
        Ok = 0;
    if (!Ok)
        std::remove(Temp.c_str());
    return Ok;
}
