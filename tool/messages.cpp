#include "tool/messages.h"

#include "raw/locale.h"

namespace ToolLayer {

using RawLayer::RawLocaleRecord;
using RawLayer::RawLocaleRecordList;
using RawLayer::RawString;

namespace {

constexpr char kMessageSection[] = "Message";

// In the order of ToolMessage.
const RawLocaleRecord kMessages[] = {
    {"CannotOpenTemp", "Cannot open temp file !"},
    {"NoDataSectionMatched", "No data section is matched !"},
    {"NoWindowIsFound", "No window is found !"},
    {"NoWindowIsSpecified", "No window is specified !"},
    {"BadFormatProfile", "Bad format profile !"},
    {"", ""},
};

}  // namespace

void RegisterToolMessages() { RawLocaleRecordList::Instance().Register(kMessageSection, kMessages); }

RawString ToolMessageText(ToolMessage message) {
  const RawLocaleRecord& record = kMessages[static_cast<int>(message)];
  return RawLocaleRecordList::Instance().Text(kMessageSection, RawString::FromUtf8(record.key),
                                              RawString::FromUtf8(record.defaultText));
}

}  // namespace ToolLayer
