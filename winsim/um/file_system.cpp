#include "um/file_system.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "um/file_paths.h"
#include "um/local_clock.h"

namespace winsim::um {

struct FileNode {
    std::string name;
    bool folder = false;
    std::map<std::string, std::shared_ptr<FileNode>> children;  // by folded name
    std::vector<BYTE> bytes;
    std::vector<BYTE> versionResource;
    FileTimeValue creation = 0;
    FileTimeValue lastAccess = 0;
    FileTimeValue lastWrite = 0;
    std::vector<const OpenedFile*> opens;
};

namespace {

constexpr const char* kStandardFolders[] = {"C:\\Windows\\system32\\drivers", "C:\\Windows\\inf",
                                            "C:\\Program Files"};

std::shared_ptr<FileNode> NewNode(std::string name, bool folder)
{
    auto node = std::make_shared<FileNode>();
    node->name = std::move(name);
    node->folder = folder;
    node->creation = node->lastAccess = node->lastWrite = UtcNow();
    return node;
}

// Windows' share check: each side must allow what the other may do.
bool SharingAllows(const FileNode& node, DWORD access, DWORD share)
{
    for (const OpenedFile* open : node.opens) {
        auto conflicts = [](DWORD wanted, DWORD allowed) {
            return ((wanted & kRead) != 0 && (allowed & FILE_SHARE_READ) == 0) ||
                   ((wanted & kWrite) != 0 && (allowed & FILE_SHARE_WRITE) == 0) ||
                   ((wanted & kDelete) != 0 && (allowed & FILE_SHARE_DELETE) == 0);
        };
        if (conflicts(access, open->share) || conflicts(open->access, share)) return false;
    }
    return true;
}

// The node and everything below it, without its opens.
std::shared_ptr<FileNode> CopyTree(const FileNode& node)
{
    auto copy = std::make_shared<FileNode>(node);
    copy->opens.clear();
    for (auto& [name, child] : copy->children) child = CopyTree(*child);
    return copy;
}

}  // namespace

struct FileSystem::Tree {
    std::shared_ptr<FileNode> drive = NewNode("C:", true);

    // The folder that holds the path's last name; *error says why not.
    FileNode* Parent(const FilePath& path, DWORD* error)
    {
        if (path.drive != 'C' || path.names.empty()) {
            *error = path.names.empty() ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        FileNode* folder = drive.get();
        for (size_t i = 0; i + 1 < path.names.size(); ++i) {
            auto found = folder->children.find(FoldCase(path.names[i]));
            if (found == folder->children.end() || !found->second->folder) {
                *error = ERROR_PATH_NOT_FOUND;
                return nullptr;
            }
            folder = found->second.get();
        }
        *error = ERROR_SUCCESS;
        return folder;
    }

    std::shared_ptr<FileNode> Child(FileNode& folder, const std::string& name)
    {
        auto found = folder.children.find(FoldCase(name));
        return found == folder.children.end() ? nullptr : found->second;
    }

    // The file at the path, or why there is none.
    std::shared_ptr<FileNode> Find(std::string_view text, DWORD* error)
    {
        FilePath path;
        *error = ParseFilePath(text, &path);
        if (*error != ERROR_SUCCESS) return nullptr;
        if (path.drive == 'C' && path.names.empty()) return drive;
        FileNode* parent = Parent(path, error);
        if (parent == nullptr) return nullptr;
        auto node = Child(*parent, path.names.back());
        if (node == nullptr) *error = ERROR_FILE_NOT_FOUND;
        return node;
    }

    DWORD MakeFolders(std::string_view text, FilePath* path)
    {
        DWORD error = ParseFilePath(text, path);
        if (error != ERROR_SUCCESS) return error;
        if (path->drive != 'C') return ERROR_PATH_NOT_FOUND;
        FileNode* folder = drive.get();
        for (const std::string& name : path->names) {
            auto& child = folder->children[FoldCase(name)];
            if (child == nullptr) child = NewNode(name, true);
            if (!child->folder) return ERROR_PATH_NOT_FOUND;
            folder = child.get();
        }
        return ERROR_SUCCESS;
    }

    // A file of the machine's, its folders made first.
    std::shared_ptr<FileNode> MachineFile(std::string_view text, DWORD* error)
    {
        FilePath path;
        *error = ParseFilePath(text, &path);
        if (*error != ERROR_SUCCESS) return nullptr;
        if (path.names.empty()) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        FilePath folders = path;
        folders.names.pop_back();
        *error = MakeFolders(FormatFilePath(folders), &folders);
        if (*error != ERROR_SUCCESS) return nullptr;
        FileNode* parent = Parent(path, error);
        auto& node = parent->children[FoldCase(path.names.back())];
        if (node == nullptr) node = NewNode(path.names.back(), false);
        if (node->folder) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        return node;
    }
};

FileSystem::FileSystem() { Reset(); }

FileSystem& FileSystem::Instance()
{
    static FileSystem fileSystem;
    return fileSystem;
}

void FileSystem::Reset()
{
    std::lock_guard lk(lock_);
    tree_ = std::make_unique<Tree>();
    FilePath path;
    for (const char* folder : kStandardFolders) tree_->MakeFolders(folder, &path);
}

std::shared_ptr<const FileNode> FileSystem::Snapshot()
{
    std::lock_guard lk(lock_);
    return CopyTree(*tree_->drive);
}

void FileSystem::Restore(const std::shared_ptr<const FileNode>& drive)
{
    std::lock_guard lk(lock_);
    tree_->drive = CopyTree(*drive);
}

DWORD FileSystem::PutFile(std::string_view path, std::vector<BYTE> bytes)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->MachineFile(path, &error);
    if (node == nullptr) return error;
    node->bytes = std::move(bytes);
    node->versionResource.clear();
    node->lastWrite = UtcNow();
    return ERROR_SUCCESS;
}

DWORD FileSystem::GetFile(std::string_view path, std::vector<BYTE>* bytes)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(path, &error);
    if (node == nullptr) return error;
    if (node->folder) return ERROR_ACCESS_DENIED;
    *bytes = node->bytes;
    return ERROR_SUCCESS;
}

DWORD FileSystem::SetLastWriteTime(std::string_view path, FileTimeValue utc)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(path, &error);
    if (node == nullptr) return error;
    node->lastWrite = utc;
    return ERROR_SUCCESS;
}

DWORD FileSystem::SetVersionResource(std::string_view path, std::vector<BYTE> resource)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(path, &error);
    if (node == nullptr) return error;
    if (node->folder) return ERROR_ACCESS_DENIED;
    node->versionResource = std::move(resource);
    return ERROR_SUCCESS;
}

DWORD FileSystem::MakeFolders(std::string_view path)
{
    std::lock_guard lk(lock_);
    FilePath parsed;
    return tree_->MakeFolders(path, &parsed);
}

DWORD FileSystem::Open(std::string_view text, DWORD access, DWORD share, DWORD disposition,
                       std::unique_ptr<OpenedFile>* opened, bool* existed)
{
    std::lock_guard lk(lock_);
    FilePath path;
    DWORD error = ParseFilePath(text, &path);
    if (error != ERROR_SUCCESS) return error;
    FileNode* parent = tree_->Parent(path, &error);
    if (parent == nullptr) return error;
    std::shared_ptr<FileNode> node = tree_->Child(*parent, path.names.back());
    *existed = node != nullptr;
    if (node != nullptr && node->folder) return ERROR_ACCESS_DENIED;
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (node == nullptr) {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) return ERROR_FILE_NOT_FOUND;
        node = NewNode(path.names.back(), false);
        parent->children[FoldCase(path.names.back())] = node;
    } else {
        if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
        if (!SharingAllows(*node, access | (truncates ? kWrite : 0), share)) return ERROR_SHARING_VIOLATION;
        if (truncates) {
            node->bytes.clear();
            node->versionResource.clear();
            node->lastWrite = UtcNow();
        }
    }
    *opened = std::make_unique<OpenedFile>(OpenedFile{node, access, share, 0});
    node->opens.push_back(opened->get());
    return ERROR_SUCCESS;
}

void FileSystem::Close(OpenedFile& opened)
{
    std::lock_guard lk(lock_);
    auto& opens = opened.node->opens;
    opens.erase(std::remove(opens.begin(), opens.end(), &opened), opens.end());
}

DWORD FileSystem::Read(OpenedFile& opened, void* buffer, DWORD length, const ULONGLONG* offset, DWORD* done)
{
    std::lock_guard lk(lock_);
    *done = 0;
    if ((opened.access & kRead) == 0) return ERROR_ACCESS_DENIED;
    const std::vector<BYTE>& bytes = opened.node->bytes;
    const ULONGLONG at = offset != nullptr ? *offset : opened.position;
    if (at < bytes.size()) {
        *done = static_cast<DWORD>(std::min<ULONGLONG>(length, bytes.size() - at));
        std::memcpy(buffer, bytes.data() + at, *done);
    }
    opened.position = at + *done;
    opened.node->lastAccess = UtcNow();
    return ERROR_SUCCESS;
}

DWORD FileSystem::Write(OpenedFile& opened, const void* data, DWORD length, const ULONGLONG* offset, DWORD* done)
{
    std::lock_guard lk(lock_);
    *done = 0;
    if ((opened.access & kWrite) == 0) return ERROR_ACCESS_DENIED;
    std::vector<BYTE>& bytes = opened.node->bytes;
    const ULONGLONG at = offset != nullptr ? *offset : opened.position;
    // A write past the end fills the gap with zeros.
    if (at + length > bytes.size()) bytes.resize(at + length);
    if (length != 0) std::memcpy(bytes.data() + at, data, length);
    *done = length;
    opened.position = at + length;
    opened.node->lastWrite = UtcNow();
    return ERROR_SUCCESS;
}

void FileSystem::Times(const OpenedFile& opened, FileTimeValue* creation, FileTimeValue* lastAccess,
                       FileTimeValue* lastWrite)
{
    std::lock_guard lk(lock_);
    *creation = opened.node->creation;
    *lastAccess = opened.node->lastAccess;
    *lastWrite = opened.node->lastWrite;
}

ULONGLONG FileSystem::Size(const OpenedFile& opened)
{
    std::lock_guard lk(lock_);
    return opened.node->bytes.size();
}

DWORD FileSystem::DeleteFile(std::string_view text)
{
    std::lock_guard lk(lock_);
    FilePath path;
    DWORD error = ParseFilePath(text, &path);
    if (error != ERROR_SUCCESS) return error;
    FileNode* parent = tree_->Parent(path, &error);
    if (parent == nullptr) return error;
    auto node = tree_->Child(*parent, path.names.back());
    if (node == nullptr) return ERROR_FILE_NOT_FOUND;
    if (node->folder) return ERROR_ACCESS_DENIED;
    if (!SharingAllows(*node, kDelete, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        return ERROR_SHARING_VIOLATION;
    }
    // Opens that allowed the deletion keep the file; its name goes now.
    parent->children.erase(FoldCase(path.names.back()));
    return ERROR_SUCCESS;
}

DWORD FileSystem::CreateFolder(std::string_view text)
{
    std::lock_guard lk(lock_);
    FilePath path;
    DWORD error = ParseFilePath(text, &path);
    if (error != ERROR_SUCCESS) return error;
    FileNode* parent = tree_->Parent(path, &error);
    if (parent == nullptr) return path.names.empty() ? ERROR_ALREADY_EXISTS : error;
    auto& child = parent->children[FoldCase(path.names.back())];
    if (child != nullptr) return ERROR_ALREADY_EXISTS;
    child = NewNode(path.names.back(), true);
    return ERROR_SUCCESS;
}

DWORD FileSystem::CopyFile(std::string_view from, std::string_view to, bool failIfExists)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto source = tree_->Find(from, &error);
    if (source == nullptr) return error;
    if (source->folder) return ERROR_ACCESS_DENIED;
    if (!SharingAllows(*source, kRead, FILE_SHARE_READ)) return ERROR_SHARING_VIOLATION;
    FilePath path;
    error = ParseFilePath(to, &path);
    if (error != ERROR_SUCCESS) return error;
    FileNode* parent = tree_->Parent(path, &error);
    if (parent == nullptr) return error;
    auto target = tree_->Child(*parent, path.names.back());
    if (target != nullptr) {
        if (failIfExists) return ERROR_FILE_EXISTS;
        if (target->folder) return ERROR_ACCESS_DENIED;
        if (!SharingAllows(*target, kWrite, 0)) return ERROR_SHARING_VIOLATION;
    } else {
        target = NewNode(path.names.back(), false);
        parent->children[FoldCase(path.names.back())] = target;
    }
    if (target == source) return ERROR_SHARING_VIOLATION;
    target->bytes = source->bytes;
    target->versionResource = source->versionResource;
    target->lastWrite = source->lastWrite;
    return ERROR_SUCCESS;
}

DWORD FileSystem::VersionResource(std::string_view path, std::vector<BYTE>* resource)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(path, &error);
    if (node == nullptr) return error;
    if (node->folder) return ERROR_ACCESS_DENIED;
    if (node->versionResource.empty()) return ERROR_RESOURCE_TYPE_NOT_FOUND;
    *resource = node->versionResource;
    return ERROR_SUCCESS;
}

bool FileSystem::Exists(std::string_view path, bool* isFolder)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(path, &error);
    if (node == nullptr) return false;
    *isFolder = node->folder;
    return true;
}

std::vector<std::string> FileSystem::FileNames(std::string_view folder)
{
    std::lock_guard lk(lock_);
    DWORD error;
    auto node = tree_->Find(folder, &error);
    std::vector<std::string> names;
    if (node == nullptr || !node->folder) return names;
    for (const auto& [folded, child] : node->children) {
        if (!child->folder) names.push_back(child->name);
    }
    return names;
}

}  // namespace winsim::um
