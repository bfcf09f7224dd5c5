#include "app/font.h"

#include <algorithm>

namespace AppLayer {

LOGFONTW LogFontOf(const GuiFontRecord& record) {
  LOGFONTW font{};
  font.lfHeight = record.height;
  font.lfWidth = record.width;
  font.lfEscapement = record.escapement;
  font.lfOrientation = record.orientation;
  font.lfWeight = record.weight;
  font.lfItalic = record.italic;
  font.lfUnderline = record.underline;
  font.lfStrikeOut = record.strikeOut;
  font.lfCharSet = record.charSet;
  font.lfOutPrecision = record.outPrecision;
  font.lfClipPrecision = record.clipPrecision;
  font.lfQuality = record.quality;
  font.lfPitchAndFamily = record.pitchAndFamily;
  static_assert(GuiFontRecord::kFaceUnits <= LF_FACESIZE);
  std::copy_n(record.faceName, GuiFontRecord::kFaceUnits, font.lfFaceName);
  font.lfFaceName[LF_FACESIZE - 1] = L'\0';
  return font;
}

GuiFontRecord FontRecordOf(const LOGFONTW& font) {
  GuiFontRecord record;
  record.height = font.lfHeight;
  record.width = font.lfWidth;
  record.escapement = font.lfEscapement;
  record.orientation = font.lfOrientation;
  record.weight = font.lfWeight;
  record.italic = font.lfItalic;
  record.underline = font.lfUnderline;
  record.strikeOut = font.lfStrikeOut;
  record.charSet = font.lfCharSet;
  record.outPrecision = font.lfOutPrecision;
  record.clipPrecision = font.lfClipPrecision;
  record.quality = font.lfQuality;
  record.pitchAndFamily = font.lfPitchAndFamily;
  std::copy_n(font.lfFaceName, GuiFontRecord::kFaceUnits, record.faceName);
  record.faceName[GuiFontRecord::kFaceUnits - 1] = u'\0';
  return record;
}

RawLayer::RawUniqueFont CreateFontOf(const GuiFontRecord& record) {
  const LOGFONTW font = LogFontOf(record);
  return RawLayer::RawUniqueFont(CreateFontIndirectW(&font));
}

}  // namespace AppLayer
