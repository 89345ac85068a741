#include "clipboard_report.h"

#include <windows.h>

#include <cstring>

#include "window_report.h"

namespace uidump {

namespace {

// EMR_EXTTEXTOUTW: what Windows itself records for text.
constexpr DWORD kExtTextOutW = 84;

// The standard formats by their names without the CF_ prefix, in lower
// case; any other format by its number.
std::string FormatName(UINT format)
{
    static const struct {
        UINT format;
        const char* name;
    } kStandard[] = {
        {CF_TEXT, "text"},         {CF_BITMAP, "bitmap"},   {CF_METAFILEPICT, "metafilepict"},
        {CF_SYLK, "sylk"},         {CF_DIF, "dif"},         {CF_TIFF, "tiff"},
        {CF_OEMTEXT, "oemtext"},   {CF_DIB, "dib"},         {CF_PALETTE, "palette"},
        {CF_PENDATA, "pendata"},   {CF_RIFF, "riff"},       {CF_WAVE, "wave"},
        {CF_UNICODETEXT, "unicodetext"}, {CF_ENHMETAFILE, "enhmetafile"}, {CF_HDROP, "hdrop"},
        {CF_LOCALE, "locale"},     {CF_DIBV5, "dibv5"},
    };
    for (const auto& standard : kStandard) {
        if (standard.format == format) return standard.name;
    }
    return "format" + std::to_string(format);
}

std::string RecordText(const std::vector<BYTE>& bytes, size_t at, DWORD type)
{
    EMREXTTEXTOUTA record;
    std::memcpy(&record, bytes.data() + at, sizeof(record));
    const size_t start = at + record.emrtext.offString;
    const size_t width = type == kExtTextOutW ? 2 : 1;
    const size_t end = start + static_cast<size_t>(record.emrtext.nChars) * width;
    if (end > at + record.emr.nSize || end > bytes.size()) return "";
    std::string text;
    for (size_t i = start; i < end; i += width) text += static_cast<char>(bytes[i]);
    return text;
}

std::vector<std::string> MetafileLines(HENHMETAFILE metafile)
{
    std::vector<std::string> lines;
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<BYTE> bytes(size);
    if (size == 0 || GetEnhMetaFileBits(metafile, size, bytes.data()) != size) return lines;
    for (size_t at = 0; at + sizeof(EMR) <= bytes.size();) {
        EMR record;
        std::memcpy(&record, bytes.data() + at, sizeof(record));
        if (record.nSize < sizeof(EMR) || at + record.nSize > bytes.size()) break;
        if ((record.iType == EMR_EXTTEXTOUTA || record.iType == kExtTextOutW) &&
            record.nSize >= sizeof(EMREXTTEXTOUTA)) {
            lines.push_back("clipboard text " + Quote(RecordText(bytes, at, record.iType)));
        }
        at += record.nSize;
    }
    return lines;
}

}  // namespace

std::vector<std::string> ClipboardLines()
{
    std::vector<std::string> lines;
    if (!OpenClipboard(nullptr)) return lines;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        lines.push_back("clipboard " + FormatName(format));
        if (format == CF_ENHMETAFILE) {
            for (std::string& line : MetafileLines(static_cast<HENHMETAFILE>(GetClipboardData(format)))) {
                lines.push_back(std::move(line));
            }
        }
    }
    CloseClipboard();
    if (lines.empty()) lines.push_back("clipboard none");
    return lines;
}

}  // namespace uidump
