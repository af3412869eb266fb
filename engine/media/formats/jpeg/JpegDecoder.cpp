#include "engine/media/formats/jpeg/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// libjpeg's headers expect the standard I/O declarations first.
#include <jerror.h>
#include <jpeglib.h>

namespace vx {
namespace {

constexpr uint32_t kFullChannel = 255;

// Stands in for the end marker of a whole file that lacks one.
constexpr JOCTET kEndMarker[] = {0xFF, JPEG_EOI};

// Ink in 0..255 as the light that is left. Files with an Adobe marker store
// ink inverted (0 is full ink), as every maker of such files does.
uint32_t InkToXrgb(const JSAMPLE* ink, bool inverted) {
  auto light = [&](int32_t channel) {
    const uint32_t c = inverted ? ink[channel] : kFullChannel - ink[channel];
    const uint32_t k = inverted ? ink[3] : kFullChannel - ink[3];
    return c * k / kFullChannel;
  };
  return (light(0) << 16) | (light(1) << 8) | light(2);
}

uint32_t SamplesToXrgb(const JSAMPLE* samples, bool ink, bool inverted) {
  if (ink) return InkToXrgb(samples, inverted);
  return (uint32_t{samples[0]} << 16) | (uint32_t{samples[1]} << 8) | samples[2];
}

// One channel of 16-bit output: the noise is added before the cut to 5 bits.
uint32_t WithNoise(uint32_t channel, int32_t noise) {
  return std::min<uint32_t>(kFullChannel, (channel + static_cast<uint32_t>(noise & 0xFFFF)) & 0xFFFF);
}

}  // namespace

struct CJpegDecoder::Session {
  struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf recovery;
  };

  Session() {
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = &Session::OnError;
    errors.manager.emit_message = &Session::OnMessage;
    errors.manager.output_message = &Session::IgnoreMessage;
    info.client_data = this;
    source.init_source = &Session::Nothing;
    source.fill_input_buffer = &Session::FillInput;
    source.skip_input_data = &Session::Skip;
    source.resync_to_restart = &jpeg_resync_to_restart;
    source.term_source = &Session::Nothing;
  }
  ~Session() { Release(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  static void OnError(j_common_ptr common) {
    auto* session = static_cast<Session*>(common->client_data);
    char text[JMSG_LENGTH_MAX] = {};
    (*common->err->format_message)(common, text);
    session->errorText = text;
    std::longjmp(session->errors.recovery, 1);
  }
  // Warnings (corrupt data that libjpeg mends) are not shown anywhere, but
  // one matters: coded data that ran into the end marker standing in for a
  // missing one shows that the file was cut inside its scan data.
  static void OnMessage(j_common_ptr common, int level) {
    if (level >= 0) return;
    ++common->err->num_warnings;
    auto* session = static_cast<Session*>(common->client_data);
    if (common->err->msg_code == JWRN_HIT_MARKER && session->endSupplied) session->cutInScan = true;
  }
  static void IgnoreMessage(j_common_ptr) {}
  static void Nothing(j_decompress_ptr) {}
  // While the file is arriving more bytes come only with the next call.
  static boolean FillInput(j_decompress_ptr decompress) {
    return static_cast<Session*>(decompress->client_data)->SupplyEndMarker() ? TRUE : FALSE;
  }
  // A skip past the bytes at hand is finished from the bytes that come later.
  static void Skip(j_decompress_ptr decompress, long count) {
    if (count <= 0) return;
    auto* session = static_cast<Session*>(decompress->client_data);
    jpeg_source_mgr* src = decompress->src;
    const auto wanted = static_cast<size_t>(count);
    const size_t now = std::min(wanted, src->bytes_in_buffer);
    src->next_input_byte += now;
    src->bytes_in_buffer -= now;
    session->skipAhead += wanted - now;
  }

  // A whole file that has run out gets the end marker it lacks, once, as a
  // file reader does; whether the picture was whole after all is judged
  // once it is decoded (PictureCutShort). Bytes still to skip lie past the
  // end, so such a file was cut inside a marker segment. The arithmetic
  // decoder reads zeros past any marker without a word, so a cut could not
  // be told from a missing marker: those files get none.
  bool SupplyEndMarker() {
    if (!wholeFile || endSupplied || skipAhead > 0 || info.arith_code) return false;
    endSupplied = true;
    source.next_input_byte = kEndMarker;
    source.bytes_in_buffer = sizeof kEndMarker;
    return true;
  }

  // With the end marker supplied: the coded data ran short, or a
  // progressive picture ended before every coefficient was refined.
  bool PictureCutShort() const {
    if (!endSupplied) return false;
    if (cutInScan) return true;
    if (!info.progressive_mode || !info.coef_bits) return false;
    for (int component = 0; component < info.num_components; ++component)
      for (int coefficient = 0; coefficient < DCTSIZE2; ++coefficient)
        if (info.coef_bits[component][coefficient] != 0) return true;
    return false;
  }

  // Runs libjpeg over the bytes at hand (the whole file with allArrived);
  // false when libjpeg gave up with an error, after which the decompressor
  // is gone. Work must keep no objects with destructors of its own: an
  // error jumps straight back here.
  template <typename Work>
  bool Run(std::span<const uint8_t> arrived, bool allArrived, const Work& work) {
    if (failed) return false;
    wholeFile = allArrived;
    Attach(arrived);
    const bool ok = Guarded(work);
    if (!ok) {
      failed = true;
      Release();
      return false;
    }
    Detach(arrived);
    return true;
  }

  template <typename Work>
  bool Guarded(const Work& work) {
    if (setjmp(errors.recovery) != 0) return false;
    if (!created) {
      jpeg_create_decompress(&info);
      created = true;
      info.src = &source;
    }
    work();
    return true;
  }

  // libjpeg reads from the span itself; only the offset of the next byte is
  // kept between calls, so the span may move. Once the stand-in end marker
  // is given, libjpeg reads on from it.
  void Attach(std::span<const uint8_t> arrived) {
    if (endSupplied) {
      source.next_input_byte = kEndMarker + endMarkerRead;
      source.bytes_in_buffer = sizeof kEndMarker - endMarkerRead;
      return;
    }
    const size_t start = std::min(position, arrived.size());
    skipAhead = position - start;
    source.next_input_byte = arrived.data() + start;
    source.bytes_in_buffer = arrived.size() - start;
  }
  void Detach(std::span<const uint8_t> arrived) {
    if (endSupplied)
      endMarkerRead = static_cast<size_t>(source.next_input_byte - kEndMarker);
    else
      position = static_cast<size_t>(source.next_input_byte - arrived.data()) + skipAhead;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;
  }

  void Release() {
    if (created) jpeg_destroy_decompress(&info);
    created = false;
    samples = {};
  }

  // The bytes ran out although the whole file is there.
  DecodeStatus EndedEarly() {
    errors.manager.msg_code = JERR_INPUT_EOF;
    char text[JMSG_LENGTH_MAX] = {};
    (*errors.manager.format_message)(reinterpret_cast<j_common_ptr>(&info), text);
    errorText = text;
    failed = true;
    Release();
    return DecodeStatus::Corrupt;
  }

  // Every colour space is read as red, green, blue except ink, which is
  // turned into light here: libjpeg does not convert it.
  void ChooseColorSpace() {
    ink = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = ink ? JCS_CMYK : JCS_RGB;
    invertedInk = info.saw_Adobe_marker != 0;
  }

  // Grey pictures are read as red, green, blue too, so that libjpeg maps
  // them to the given palette rather than to a grey ramp of its own.
  void ChooseQuantizer(uint16_t bytesPerPixel, const PaletteTable& palette) {
    quantized = bytesPerPixel == 1 && !ink && palette.count > 0;
    if (!quantized) return;
    info.quantize_colors = TRUE;
    info.dither_mode = JDITHER_FS;
    info.two_pass_quantize = TRUE;
    info.desired_number_of_colors = palette.count;
    info.actual_number_of_colors = palette.count;
    info.colormap = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(palette.count), 3);
    for (int32_t index = 0; index < palette.count; ++index) {
      const uint32_t entry = palette.entries[static_cast<size_t>(index)];
      info.colormap[0][index] = static_cast<JSAMPLE>(entry >> 16);
      info.colormap[1][index] = static_cast<JSAMPLE>(entry >> 8);
      info.colormap[2][index] = static_cast<JSAMPLE>(entry);
    }
  }

  // False when libjpeg suspended for want of bytes.
  bool DecodeInto(const PictureWindow& window, const JpegOutput& output, int32_t rowLimit) {
    if (!started) {
      ChooseQuantizer(window.target.bytesPerPixel, output.palette);
      if (!jpeg_start_decompress(&info)) return false;
      started = true;
      samples.resize(static_cast<size_t>(info.output_width) * static_cast<size_t>(info.output_components));
    }
    for (int32_t rows = 0; rows < rowLimit && info.output_scanline < info.output_height; ++rows) {
      JSAMPROW row = samples.data();
      if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
      WriteRow(static_cast<int32_t>(info.output_scanline) - 1, window, output);
    }
    return true;
  }

  bool AllRowsIn() const { return started && info.output_scanline >= info.output_height; }

  void WriteRow(int32_t pictureRow, const PictureWindow& window, const JpegOutput& output) {
    const PixelMap& target = window.target;
    const int32_t targetRow = pictureRow - window.firstRow;
    if (targetRow < 0 || targetRow >= target.height) return;
    const int32_t components = info.output_components;
    const JSAMPLE* in = samples.data() + static_cast<size_t>(window.firstColumn) * components;
    uint8_t* out = target.Row(targetRow);
    for (int32_t column = 0; column < target.width; ++column, in += components) {
      if (quantized) {
        out[column] = in[0];
        continue;
      }
      const uint32_t xrgb = SamplesToXrgb(in, ink, invertedInk);
      if (target.bytesPerPixel == 4)
        std::memcpy(out + column * 4, &xrgb, sizeof xrgb);
      else if (target.bytesPerPixel == 2)
        Write555(out + column * 2, xrgb, output.noise);
      else
        out[column] = output.inverseMap ? output.inverseMap[InverseMap555Index(xrgb >> 16, (xrgb >> 8) & 0xFF, xrgb & 0xFF)]
                                        : 0;
    }
  }

  void Write555(uint8_t* out, uint32_t xrgb, std::span<const int32_t> noise) {
    const int32_t n = noise.empty() ? 0 : noise[noiseIndex];
    if (!noise.empty()) noiseIndex = (noiseIndex + 1) % noise.size();
    const uint32_t red = WithNoise(xrgb >> 16, n);
    const uint32_t green = WithNoise((xrgb >> 8) & 0xFF, n);
    const uint32_t blue = WithNoise(xrgb & 0xFF, n);
    const auto pixel = static_cast<uint16_t>(((red << 7) & 0x7C00) | ((green << 2) & 0x03E0) | ((blue >> 3) & 0x1F));
    std::memcpy(out, &pixel, sizeof pixel);
  }

  jpeg_decompress_struct info{};
  ErrorExit errors{};
  jpeg_source_mgr source{};
  bool created = false;
  bool failed = false;
  bool wholeFile = false;    // the bytes at hand are the whole file
  bool endSupplied = false;  // the stand-in end marker was given
  bool cutInScan = false;    // coded data ran into it
  size_t endMarkerRead = 0;
  bool headerRead = false;
  bool started = false;
  bool finished = false;
  bool ink = false;
  bool invertedInk = false;
  bool quantized = false;
  size_t position = 0;   // offset in the file of the next byte libjpeg reads
  size_t skipAhead = 0;  // bytes libjpeg skips beyond those at hand
  size_t noiseIndex = 0;
  std::vector<JSAMPLE> samples;  // one row
  std::string errorText;
};

CJpegDecoder::CJpegDecoder() : session_(std::make_unique<Session>()) {}

CJpegDecoder::~CJpegDecoder() = default;

const std::string& CJpegDecoder::ErrorText() const { return session_->errorText; }

DecodeStatus CJpegDecoder::ReadHeader(std::span<const uint8_t> arrived, bool allArrived) {
  Session& session = *session_;
  if (session.failed) return DecodeStatus::Corrupt;
  if (session.headerRead) return DecodeStatus::Complete;
  if (arrived.size() < 2) {
    if (!allArrived) return DecodeStatus::Pending;
    return arrived.empty() ? DecodeStatus::Missing : DecodeStatus::Corrupt;
  }
  if (arrived[0] != 0xFF || arrived[1] != 0xD8) return DecodeStatus::NotMyFormat;
  int result = JPEG_SUSPENDED;
  if (!session.Run(arrived, allArrived, [&] { result = jpeg_read_header(&session.info, TRUE); }))
    return DecodeStatus::Corrupt;
  if (result != JPEG_HEADER_OK) return allArrived ? session.EndedEarly() : DecodeStatus::Pending;
  session.ChooseColorSpace();
  if (!session.Run(arrived, allArrived, [&] { jpeg_calc_output_dimensions(&session.info); }))
    return DecodeStatus::Corrupt;
  const DecodeStatus size = CheckPictureSize(session.info.output_width, session.info.output_height);
  if (size != DecodeStatus::Complete) {
    session.failed = true;
    session.Release();
    return size;
  }
  size_ = {static_cast<int32_t>(session.info.output_width), static_cast<int32_t>(session.info.output_height)};
  session.headerRead = true;
  return DecodeStatus::Complete;
}

DecodeStatus CJpegDecoder::DecodeRows(std::span<const uint8_t> arrived, bool allArrived, const PictureWindow& window,
                                      const JpegOutput& output, int32_t rowLimit) {
  Session& session = *session_;
  if (session.failed || !session.headerRead) return DecodeStatus::Corrupt;
  if (session.finished) return DecodeStatus::Complete;
  // libjpeg cannot suspend the arithmetic decoder: it would fail for want of
  // bytes that are still on their way.
  if (!allArrived && session.info.arith_code) return DecodeStatus::Pending;
  bool suspended = false;
  if (window.target.bits) {
    if (!session.Run(arrived, allArrived, [&] { suspended = !session.DecodeInto(window, output, rowLimit); }))
      return DecodeStatus::Corrupt;
    if (session.PictureCutShort()) return session.EndedEarly();
    if (!session.AllRowsIn()) return suspended && allArrived ? session.EndedEarly() : DecodeStatus::Pending;
  }
  // Nothing after the last row is needed, so the rest of the file is not read.
  session.finished = true;
  session.Release();
  return DecodeStatus::Complete;
}

}  // namespace vx
