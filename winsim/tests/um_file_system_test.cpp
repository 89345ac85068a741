// Files of the simulated file system through kernel32: dispositions and
// their errors, sharing, reading and writing, deletion, folders and copies.
#include <windows.h>

#include <string>

#include "um_test_fixture.h"
#include "um/file_system.h"

namespace winsim::test {
namespace {

using FileSystemTest = UserModeTest;

HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Contents(const char* path)
{
    std::vector<BYTE> bytes;
    if (um::FileSystem::Instance().GetFile(path, &bytes) != ERROR_SUCCESS) return "<none>";
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(FileSystemTest, DispositionsCreateOpenAndTruncateAsWindowsDoes)
{
    const char* path = "C:\\Windows\\test.txt";
    EXPECT_EQ(Open(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("C:\\NoSuchFolder\\test.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open("D:\\test.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    CloseHandle(file);

    EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    file = Open("c:/WINDOWS/Test.TXT", GENERIC_READ, 0, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "names compare without regard to case";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(file);
    EXPECT_EQ(Contents(path), "hello");

    EXPECT_EQ(Open(path, GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "truncation needs write access";
    file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(file);
    EXPECT_EQ(Contents(path), "");

    EXPECT_EQ(Open("C:\\Windows", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a folder is no file";
    EXPECT_EQ(Open("C:\\Windows\\a|b", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(FileSystemTest, ReadsFollowThePositionAndStopAtTheEnd)
{
    um::FileSystem::Instance().PutFile("C:\\data.bin", {'a', 'b', 'c', 'd', 'e'});
    HANDLE file = Open("C:\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, 3, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "abc");
    EXPECT_TRUE(ReadFile(file, buffer, 8, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "de");
    EXPECT_TRUE(ReadFile(file, buffer, 8, &read, nullptr)) << "at the end a synchronous read gets 0 bytes";
    EXPECT_EQ(read, 0u);
    EXPECT_FALSE(WriteFile(file, "x", 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    DWORD high = 1;
    EXPECT_EQ(GetFileSize(file, &high), 5u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileSystemTest, SharingIsCheckedBothWays)
{
    um::FileSystem::Instance().PutFile("C:\\shared.txt", {'x'});
    HANDLE reader = Open("C:\\shared.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE second = Open("C:\\shared.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    // The first open lets others read only; a writer is refused.
    EXPECT_EQ(Open("C:\\shared.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A reader that does not let others read is refused too: they already do.
    EXPECT_EQ(Open("C:\\shared.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA("C:\\shared.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(reader);
    CloseHandle(second);
    HANDLE writer = Open("C:\\shared.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "closing ends the claims";
    CloseHandle(writer);
}

TEST_F(FileSystemTest, AFileDeletedWhileOpenWithDeleteSharingStaysReadableThroughItsHandle)
{
    um::FileSystem::Instance().PutFile("C:\\gone.txt", {'o', 'k'});
    HANDLE file = Open("C:\\gone.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA("C:\\gone.txt"));
    EXPECT_EQ(GetFileAttributesA("C:\\gone.txt"), INVALID_FILE_ATTRIBUTES);
    char buffer[4];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "ok");
    CloseHandle(file);
    EXPECT_FALSE(DeleteFileA("C:\\gone.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileSystemTest, OverlappedOffsetsWriteAnywhereAndReadPastTheEndReportsIt)
{
    HANDLE file = Open("C:\\sparse.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED at{};
    at.Offset = 4;
    at.hEvent = event;
    DWORD count = 0;
    EXPECT_TRUE(WriteFile(file, "zz", 2, &count, &at));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(file, &at, &count, FALSE));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Contents("C:\\sparse.bin"), std::string("\0\0\0\0zz", 6)) << "the gap is zeros";

    OVERLAPPED past{};
    past.Offset = 6;
    char buffer[4];
    EXPECT_FALSE(ReadFile(file, buffer, 4, &count, &past));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
    CloseHandle(event);
    CloseHandle(file);
}

TEST_F(FileSystemTest, FoldersAndCopies)
{
    EXPECT_TRUE(CreateDirectoryA("C:\\Program Files\\Tessary", nullptr));
    EXPECT_FALSE(CreateDirectoryA("C:\\Program Files\\Tessary", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA("C:\\No\\Such", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA("C:\\program files\\TESSARY"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    auto& fs = um::FileSystem::Instance();
    fs.PutFile("C:\\Program Files\\Tessary\\a.inf", {'i', 'n', 'f'});
    fs.SetLastWriteTime("C:\\Program Files\\Tessary\\a.inf", 123'456'789);
    EXPECT_TRUE(CopyFileA("C:\\Program Files\\Tessary\\a.inf", "C:\\Windows\\inf\\oem0.inf", TRUE));
    EXPECT_EQ(Contents("C:\\Windows\\inf\\oem0.inf"), "inf");
    EXPECT_FALSE(CopyFileA("C:\\Program Files\\Tessary\\a.inf", "C:\\Windows\\inf\\oem0.inf", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_TRUE(CopyFileA("C:\\Program Files\\Tessary\\a.inf", "C:\\Windows\\inf\\oem0.inf", FALSE));
    EXPECT_FALSE(CopyFileA("C:\\Program Files\\Tessary\\b.inf", "C:\\Windows\\inf\\oem1.inf", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A copy keeps the last-write time, as CopyFile does.
    HANDLE copy = Open("C:\\Windows\\inf\\oem0.inf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    FILETIME written;
    ASSERT_TRUE(GetFileTime(copy, nullptr, nullptr, &written));
    EXPECT_EQ(um::ValueOf(written), 123'456'789u);
    CloseHandle(copy);
}

TEST_F(FileSystemTest, ARestoredSnapshotUndoesWritesDeletionsAndNewFoldersEachTime)
{
    um::FileSystem& files = um::FileSystem::Instance();
    files.PutFile("C:\\Windows\\kept.txt", {'a'});
    files.PutFile("C:\\Windows\\gone.txt", {'g'});
    const auto snapshot = files.Snapshot();
    for (int round = 0; round < 2; ++round) {
        files.PutFile("C:\\Windows\\kept.txt", {'b'});
        EXPECT_EQ(files.DeleteFile("C:\\Windows\\gone.txt"), static_cast<DWORD>(ERROR_SUCCESS));
        files.PutFile("C:\\New\\Deep\\new.txt", {'n'});
        files.Restore(snapshot);
        EXPECT_EQ(Contents("C:\\Windows\\kept.txt"), "a") << "round " << round;
        EXPECT_EQ(Contents("C:\\Windows\\gone.txt"), "g") << "round " << round;
        bool folder = false;
        EXPECT_FALSE(files.Exists("C:\\New", &folder)) << "round " << round;
    }
}

TEST_F(FileSystemTest, TheWindowsFolderAndItsSizeQuery)
{
    char folder[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(folder, MAX_PATH), 10u);
    EXPECT_STREQ(folder, "C:\\Windows");
    EXPECT_EQ(GetWindowsDirectoryA(folder, 10), 11u) << "too small: the size needed, NUL included";
    EXPECT_EQ(GetSystemDirectoryA(folder, MAX_PATH), 19u);
    EXPECT_STREQ(folder, "C:\\Windows\\system32");
    EXPECT_EQ(GetFileAttributesA("C:\\Windows\\system32\\drivers"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(FileSystemTest, DeviceNamesStillReachTheDevices)
{
    // No COM1 device in this machine: the I/O manager answers, not the file
    // system (which would have made a file called COM1).
    EXPECT_EQ(Open("COM1", GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileAttributesA("C:\\COM1"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Open("\\\\.\\C:\\x", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace winsim::test
