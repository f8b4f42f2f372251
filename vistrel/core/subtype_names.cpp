#include "core/subtype_names.h"

namespace vistrel {
namespace {

// Published DirectShow subtype identifiers.
constexpr Guid kRGB1{0xE436EB78, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB4{0xE436EB79, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB8{0xE436EB7A, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB565{0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB555{0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB24{0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kRGB32{0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kARGB32{0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}};
constexpr Guid kAYUV = FourccGuid("AYUV");
constexpr Guid kUYVY = FourccGuid("UYVY");
constexpr Guid kY411 = FourccGuid("Y411");
constexpr Guid kY41P = FourccGuid("Y41P");
constexpr Guid kY211 = FourccGuid("Y211");
constexpr Guid kYUY2 = FourccGuid("YUY2");
constexpr Guid kYVYU = FourccGuid("YVYU");
constexpr Guid kYUYV = FourccGuid("YUYV");
constexpr Guid kIF09 = FourccGuid("IF09");
constexpr Guid kIYUV = FourccGuid("IYUV");
constexpr Guid kYV12 = FourccGuid("YV12");
constexpr Guid kYVU9 = FourccGuid("YVU9");
constexpr Guid kCFCC = FourccGuid("CFCC");
constexpr Guid kCLJR = FourccGuid("CLJR");
constexpr Guid kCPLA = FourccGuid("CPLA");
constexpr Guid kCLPL = FourccGuid("CLPL");
constexpr Guid kIJPG = FourccGuid("IJPG");
constexpr Guid kMDVF = FourccGuid("MDVF");
constexpr Guid kMJPG = FourccGuid("MJPG");
constexpr Guid kMPEG1Packet{0xE436EB80, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kMPEG1Payload{0xE436EB81, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kOverlay{0xE436EB7F, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kPlum = FourccGuid("Plum");
constexpr Guid kQTJpeg = FourccGuid("jpeg");
constexpr Guid kQTMovie{0xE436EB89, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr Guid kQTRle = FourccGuid("rle ");
constexpr Guid kQTRpza = FourccGuid("rpza");
constexpr Guid kQTSmc = FourccGuid("smc ");
constexpr Guid kTVMJ = FourccGuid("TVMJ");
constexpr Guid kVPVBI{0x5A9B6A41, 0x1A22, 0x11D1, {0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A}};
constexpr Guid kVPVideo{0x5A9B6A40, 0x1A22, 0x11D1, {0xBA, 0xD9, 0x00, 0x60, 0x97, 0x44, 0x11, 0x1A}};
constexpr Guid kWAKE = FourccGuid("WAKE");
constexpr Guid kAnalogVideo_NTSC_M{0x0482DDE2, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_B{0x0482DDE5, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_D{0x0482DDE6, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_G{0x0482DDE7, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_H{0x0482DDE8, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_I{0x0482DDE9, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_M{0x0482DDEA, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_PAL_N{0x0482DDEB, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_B{0x0482DDF0, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_D{0x0482DDF1, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_G{0x0482DDF2, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_H{0x0482DDF3, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_K{0x0482DDF4, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_K1{0x0482DDF5, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAnalogVideo_SECAM_L{0x0482DDF6, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
constexpr Guid kAI44 = FourccGuid("AI44");
constexpr Guid kIA44 = FourccGuid("IA44");
constexpr Guid kdvsl = FourccGuid("dvsl");
constexpr Guid kdvsd = FourccGuid("dvsd");
constexpr Guid kdvhd = FourccGuid("dvhd");
constexpr Guid kdv25 = FourccGuid("dv25");
constexpr Guid kdv50 = FourccGuid("dv50");
constexpr Guid kdvh1 = FourccGuid("dvh1");
constexpr Guid kDVCS = FourccGuid("DVCS");
constexpr Guid kDVSD = FourccGuid("DVSD");
constexpr Guid kRGB32_D3D_DX7_RT = FourccGuid("7R32");
constexpr Guid kRGB16_D3D_DX7_RT = FourccGuid("7R16");
constexpr Guid kARGB32_D3D_DX7_RT = FourccGuid("7A88");
constexpr Guid kARGB4444_D3D_DX7_RT = FourccGuid("7A44");
constexpr Guid kARGB1555_D3D_DX7_RT = FourccGuid("7A15");
constexpr Guid kI420 = FourccGuid("I420");
}  // namespace

// Searched in this order; the texts are unique, so no two subtypes of the table share a group.
const std::array<SubtypeNameEntry, kSubtypeNameCount> subtypeNameTable{{
    SubtypeNameEntry{"RGB1:", kRGB1},
    SubtypeNameEntry{"RGB4:", kRGB4},
    SubtypeNameEntry{"RGB8:", kRGB8},
    SubtypeNameEntry{"RGB565:", kRGB565},
    SubtypeNameEntry{"RGB555:", kRGB555},
    SubtypeNameEntry{"RGB24:", kRGB24},
    SubtypeNameEntry{"RGB32:", kRGB32},
    SubtypeNameEntry{"ARGB32:", kARGB32},
    SubtypeNameEntry{"AYUV:", kAYUV},
    SubtypeNameEntry{"UYVY :", kUYVY},
    SubtypeNameEntry{"Y411:", kY411},
    SubtypeNameEntry{"Y41P:", kY41P},
    SubtypeNameEntry{"Y211:", kY211},
    SubtypeNameEntry{"YUY2:", kYUY2},
    SubtypeNameEntry{"YVYU:", kYVYU},
    SubtypeNameEntry{"YUYV:", kYUYV},
    SubtypeNameEntry{"IF09:", kIF09},
    SubtypeNameEntry{"IYUV:", kIYUV},
    SubtypeNameEntry{"YV12:", kYV12},
    SubtypeNameEntry{"YVU9:", kYVU9},
    SubtypeNameEntry{"CFCC:", kCFCC},
    SubtypeNameEntry{"CLJR:", kCLJR},
    SubtypeNameEntry{"CPLA:", kCPLA},
    SubtypeNameEntry{"CLPL:", kCLPL},
    SubtypeNameEntry{"IJPG:", kIJPG},
    SubtypeNameEntry{"MDVF:", kMDVF},
    SubtypeNameEntry{"MJPG:", kMJPG},
    SubtypeNameEntry{"MPEG1Packet:", kMPEG1Packet},
    SubtypeNameEntry{"MPEG1Payload:", kMPEG1Payload},
    SubtypeNameEntry{"Overlay:", kOverlay},
    SubtypeNameEntry{"Plum:", kPlum},
    SubtypeNameEntry{"QTJpeg:", kQTJpeg},
    SubtypeNameEntry{"QTMovie:", kQTMovie},
    SubtypeNameEntry{"QTRle:", kQTRle},
    SubtypeNameEntry{"QTRpza:", kQTRpza},
    SubtypeNameEntry{"QTSmc:", kQTSmc},
    SubtypeNameEntry{"TVMJ:", kTVMJ},
    SubtypeNameEntry{"VPVBI:", kVPVBI},
    SubtypeNameEntry{"VPVideo:", kVPVideo},
    SubtypeNameEntry{"WAKE:", kWAKE},
    SubtypeNameEntry{"AnalogVideo_NTSC_M:", kAnalogVideo_NTSC_M},
    SubtypeNameEntry{"AnalogVideo_PAL_B:", kAnalogVideo_PAL_B},
    SubtypeNameEntry{"AnalogVideo_PAL_D:", kAnalogVideo_PAL_D},
    SubtypeNameEntry{"AnalogVideo_PAL_G:", kAnalogVideo_PAL_G},
    SubtypeNameEntry{"AnalogVideo_PAL_H:", kAnalogVideo_PAL_H},
    SubtypeNameEntry{"AnalogVideo_PAL_I:", kAnalogVideo_PAL_I},
    SubtypeNameEntry{"AnalogVideo_PAL_M:", kAnalogVideo_PAL_M},
    SubtypeNameEntry{"AnalogVideo_PAL_N:", kAnalogVideo_PAL_N},
    SubtypeNameEntry{"AnalogVideo_SECAM_B:", kAnalogVideo_SECAM_B},
    SubtypeNameEntry{"AnalogVideo_SECAM_D:", kAnalogVideo_SECAM_D},
    SubtypeNameEntry{"AnalogVideo_SECAM_G:", kAnalogVideo_SECAM_G},
    SubtypeNameEntry{"AnalogVideo_SECAM_H:", kAnalogVideo_SECAM_H},
    SubtypeNameEntry{"AnalogVideo_SECAM_K:", kAnalogVideo_SECAM_K},
    SubtypeNameEntry{"AnalogVideo_SECAM_K1:", kAnalogVideo_SECAM_K1},
    SubtypeNameEntry{"AnalogVideo_SECAM_L:", kAnalogVideo_SECAM_L},
    SubtypeNameEntry{"AI44:", kAI44},
    SubtypeNameEntry{"IA44:", kIA44},
    SubtypeNameEntry{"dvsl:", kdvsl},
    SubtypeNameEntry{"dvsd:", kdvsd},
    SubtypeNameEntry{"dvhd:", kdvhd},
    SubtypeNameEntry{"dv25:", kdv25},
    SubtypeNameEntry{"dv50:", kdv50},
    SubtypeNameEntry{"dvh1:", kdvh1},
    SubtypeNameEntry{"DVCS:", kDVCS},
    SubtypeNameEntry{"DVSD:", kDVSD},
    SubtypeNameEntry{"RGB32_D3D_DX7_RT:", kRGB32_D3D_DX7_RT},
    SubtypeNameEntry{"RGB16_D3D_DX7_RT:", kRGB16_D3D_DX7_RT},
    SubtypeNameEntry{"ARGB32_D3D_DX7_RT:", kARGB32_D3D_DX7_RT},
    SubtypeNameEntry{"ARGB4444_D3D_DX7_RT:", kARGB4444_D3D_DX7_RT},
    SubtypeNameEntry{"ARGB1555_D3D_DX7_RT:", kARGB1555_D3D_DX7_RT},
    SubtypeNameEntry{"I420:", kI420},
}};

std::string LookupSubtypeName(const Guid& subtype) {
  for (const SubtypeNameEntry& entry : subtypeNameTable) {
    if (entry.key == subtype) return entry.text;
  }
  return kUnknownSubtypeName;
}

}  // namespace vistrel
