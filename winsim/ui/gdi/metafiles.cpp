#include "ui/gdi/metafiles.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "ui/gdi/gdi_objects.h"
#include "ui/program.h"

using namespace winsim::ui;

namespace {

// A recording DC draws into the display list kept under this pseudo window
// handle, far above the handles real windows get.
constexpr ULONG_PTR kRecordingKeyBase = 0x7E000000;
constexpr DWORD kGraphicsCompatible = 1;  // GM_COMPATIBLE
constexpr SIZEL kDevicePixels{1024, 768};
constexpr SIZEL kDeviceMillimeters{320, 240};

struct Recording {
    HWND key;
    RECT frame;  // .01 mm, as given; empty when the caller gave none
};

struct Metafile {
    Program* program;  // null while the clipboard holds it
    RECT frame;
    std::vector<DisplayItem> items;
};

struct MetafileTable {
    std::mutex lock;
    std::map<HDC, Recording> recordings;
    std::map<HENHMETAFILE, Metafile> metafiles;
    ULONG_PTR nextKey = kRecordingKeyBase;
    ULONG_PTR nextHandle = 0x60010;
};

MetafileTable& Table()
{
    static MetafileTable table;
    return table;
}

HENHMETAFILE Insert(Metafile metafile)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto handle = reinterpret_cast<HENHMETAFILE>(Table().nextHandle);
    Table().nextHandle += 4;
    metafile.program->gdiObjects++;
    Table().metafiles.emplace(handle, std::move(metafile));
    return handle;
}

bool Find(HENHMETAFILE handle, Metafile* out)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().metafiles.find(handle);
    if (it == Table().metafiles.end()) return false;
    *out = it->second;
    return true;
}

RECTL ToRectl(const RECT& r) { return RECTL{r.left, r.top, r.right, r.bottom}; }

class RecordWriter {
public:
    template <typename T>
    void Put(const T& value, size_t size = sizeof(T))
    {
        const size_t at = bytes_.size();
        bytes_.resize(at + size);
        std::memcpy(bytes_.data() + at, &value, std::min(size, sizeof(T)));
        ++records_;
    }
    void Append(const void* data, size_t size)
    {
        const size_t at = bytes_.size();
        bytes_.resize(at + size);
        std::memcpy(bytes_.data() + at, data, size);
    }
    std::vector<BYTE>& Bytes() { return bytes_; }
    DWORD Records() const { return records_; }

private:
    std::vector<BYTE> bytes_;
    DWORD records_ = 0;
};

void PutText(RecordWriter* out, const DisplayItem& item)
{
    const auto chars = static_cast<DWORD>(item.text.size());
    const DWORD stringBytes = (chars + 3) & ~3u;
    EMREXTTEXTOUTA record{};
    record.emr.iType = EMR_EXTTEXTOUTA;
    record.emr.nSize = static_cast<DWORD>(sizeof(record)) + stringBytes + chars * 4;
    record.rclBounds = ToRectl(item.rect);
    record.iGraphicsMode = kGraphicsCompatible;
    record.emrtext.ptlReference = POINTL{item.rect.left, item.rect.top};
    record.emrtext.nChars = chars;
    record.emrtext.offString = sizeof(record);
    record.emrtext.rcl = RECTL{0, 0, -1, -1};
    record.emrtext.offDx = sizeof(record) + stringBytes;
    out->Put(record);
    std::string padded = item.text;
    padded.resize(stringBytes, '\0');
    out->Append(padded.data(), padded.size());
    // Every character of a font is as wide as the others.
    const DWORD advance = chars == 0 ? 0 : static_cast<DWORD>(item.rect.right - item.rect.left) / chars;
    for (DWORD i = 0; i < chars; ++i) out->Append(&advance, sizeof(advance));
}

// Fills and icons stay in the display list for whoever draws the metafile;
// they have no records of their own here.
std::vector<BYTE> Serialize(const Metafile& metafile)
{
    RecordWriter out;
    ENHMETAHEADER header{};
    header.iType = EMR_HEADER;
    header.nSize = sizeof(header);
    RECT bounds{};
    for (const DisplayItem& item : metafile.items) UnionRect(&bounds, &bounds, &item.rect);
    header.rclBounds = RECTL{bounds.left, bounds.top, bounds.right - 1, bounds.bottom - 1};
    header.rclFrame = ToRectl(metafile.frame);
    header.dSignature = ENHMETA_SIGNATURE;
    header.nVersion = 0x10000;
    header.nHandles = 1;
    header.szlDevice = kDevicePixels;
    header.szlMillimeters = kDeviceMillimeters;
    out.Put(header);
    COLORREF color = 0;
    for (const DisplayItem& item : metafile.items) {
        if (item.kind == DisplayItem::Kind::kText) {
            if (item.color != color) {
                color = item.color;
                out.Put(EMRSETTEXTCOLOR{{EMR_SETTEXTCOLOR, sizeof(EMRSETTEXTCOLOR)}, color});
            }
            PutText(&out, item);
        } else if (item.kind == DisplayItem::Kind::kRectangle) {
            out.Put(EMRRECTANGLE{{EMR_RECTANGLE, sizeof(EMRRECTANGLE)}, ToRectl(item.rect)});
        }
    }
    const DWORD eof[5] = {EMR_EOF, 20, 0, 16, 20};  // no palette entries; nSizeLast
    out.Put(eof);
    auto* written = reinterpret_cast<ENHMETAHEADER*>(out.Bytes().data());
    written->nBytes = static_cast<DWORD>(out.Bytes().size());
    written->nRecords = out.Records();
    return std::move(out.Bytes());
}

}  // namespace

namespace winsim::ui {

bool MetafileRecords(HENHMETAFILE metafile, std::vector<DisplayItem>* out)
{
    Metafile found;
    if (!Find(metafile, &found)) return false;
    *out = std::move(found.items);
    return true;
}

bool AdoptMetafileForClipboard(HENHMETAFILE metafile)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().metafiles.find(metafile);
    if (it == Table().metafiles.end() || it->second.program == nullptr) return false;
    it->second.program->gdiObjects--;
    it->second.program = nullptr;
    return true;
}

void ReleaseClipboardMetafile(HENHMETAFILE metafile)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().metafiles.find(metafile);
    if (it != Table().metafiles.end() && it->second.program == nullptr) Table().metafiles.erase(it);
}

}  // namespace winsim::ui

extern "C" {

// Memory metafiles only: a file name is refused.
HDC WINAPI CreateEnhMetaFileA(HDC, LPCSTR lpFilename, const RECT* lprc, LPCSTR)
{
    if (lpFilename != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HWND key;
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        key = reinterpret_cast<HWND>(Table().nextKey);
        Table().nextKey += 4;
    }
    StartDisplayList(key);
    HDC dc = CreateWindowDc(key);
    std::lock_guard<std::mutex> guard(Table().lock);
    Table().recordings.emplace(dc, Recording{key, lprc != nullptr ? *lprc : RECT{}});
    return dc;
}

HENHMETAFILE WINAPI CloseEnhMetaFile(HDC hdc)
{
    Recording recording;
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        auto it = Table().recordings.find(hdc);
        if (it == Table().recordings.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        recording = it->second;
        Table().recordings.erase(it);
    }
    Metafile metafile{&CurrentProgram(), recording.frame, DisplayListOf(recording.key)};
    ForgetDisplayList(recording.key);
    ReleaseWindowDc(hdc);
    return Insert(std::move(metafile));
}

// A metafile the clipboard holds is the clipboard's to delete.
BOOL WINAPI DeleteEnhMetaFile(HENHMETAFILE hmf)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().metafiles.find(hmf);
    if (it == Table().metafiles.end() || it->second.program == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    it->second.program->gdiObjects--;
    Table().metafiles.erase(it);
    return TRUE;
}

HENHMETAFILE WINAPI CopyEnhMetaFileA(HENHMETAFILE hEnh, LPCSTR lpFileName)
{
    Metafile copy;
    if (lpFileName != nullptr || !Find(hEnh, &copy)) {
        SetLastError(lpFileName != nullptr ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    copy.program = &CurrentProgram();
    return Insert(std::move(copy));
}

UINT WINAPI GetEnhMetaFileBits(HENHMETAFILE hEMF, UINT nSize, LPBYTE lpData)
{
    Metafile metafile;
    if (!Find(hEMF, &metafile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::vector<BYTE> bytes = Serialize(metafile);
    if (lpData == nullptr) return static_cast<UINT>(bytes.size());
    if (nSize < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpData, bytes.data(), bytes.size());
    return static_cast<UINT>(bytes.size());
}

UINT WINAPI GetEnhMetaFileHeader(HENHMETAFILE hemf, UINT nSize, LPENHMETAHEADER lpEnhMetaHeader)
{
    Metafile metafile;
    if (!Find(hemf, &metafile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (lpEnhMetaHeader == nullptr) return sizeof(ENHMETAHEADER);
    if (nSize < sizeof(ENHMETAHEADER)) return 0;
    const std::vector<BYTE> bytes = Serialize(metafile);
    std::memcpy(lpEnhMetaHeader, bytes.data(), sizeof(ENHMETAHEADER));
    return sizeof(ENHMETAHEADER);
}

// Hands every record, the header first, to `proc` until it returns 0. The
// records are not played into `hdc`.
BOOL WINAPI EnumEnhMetaFile(HDC hdc, HENHMETAFILE hmf, ENHMFENUMPROC proc, LPVOID param, const RECT*)
{
    Metafile metafile;
    if (proc == nullptr || !Find(hmf, &metafile)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<BYTE> bytes = Serialize(metafile);
    HANDLETABLE handles{{nullptr}};
    for (size_t at = 0; at < bytes.size();) {
        const auto* record = reinterpret_cast<const ENHMETARECORD*>(bytes.data() + at);
        if (!proc(hdc, &handles, record, 1, reinterpret_cast<LPARAM>(param))) return FALSE;
        at += record->nSize;
    }
    return TRUE;
}

}  // extern "C"
