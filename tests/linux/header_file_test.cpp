// The dashboard's header: found in the client folder whatever the current directory, and
// read only from a regular file. A FIFO or a directory gives no header, at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "render/canvas.h"
#include "render/dashboard.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int litPixels(const char* path) {
    Canvas c(500, 41);
    alarm(5);  // a wait for a writer ends the test here instead of hanging it
    c.drawBitmapFile(path, 0, 0, 500, 41);
    alarm(0);
    int lit = 0;
    for (int y = 0; y < 41; ++y) {
        for (int x = 0; x < 500; ++x) {
            lit += c.pixel(x, y) != 0;
        }
    }
    return lit;
}

TEST(HeaderFile, FromTheClientFolderAndOnlyARegularFile) {
    const fs::path dir = fs::temp_directory_path() / ("vandrel_header_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.bmp");
    fs::copy_file(fs::path(getenv("VANDREL_SOURCE_DIR")) / "resources/header.bmp",
                  dir / "header.bmp");
    const fs::path here = fs::current_path();
    fs::current_path("/");
    char path[512];
    for (const std::string& client : {dir.string(), dir.string() + "/"}) {
        headerPathIn(client.c_str(), path, sizeof path);
        EXPECT_GT(litPixels(path), 1000) << client;
    }
    headerPathIn(dir.c_str(), path, dir.string().size() + 11);
    EXPECT_STREQ(path, "");  // too long: no file at all, not a cut name
    fs::current_path(dir);   // a relative folder was made the current directory
    headerPathIn("relative", path, sizeof path);
    EXPECT_GT(litPixels(path), 1000);

    // One FIFO without a writer, one that holds a whole bitmap: neither is a file.
    ASSERT_EQ(mkfifo((dir / "empty.bmp").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "full.bmp").c_str(), 0600), 0);
    const int writer = open((dir / "full.bmp").c_str(), O_RDWR);
    const std::string bitmap = readFile(dir / "header.bmp");
    ASSERT_EQ(write(writer, bitmap.data(), bitmap.size()), ssize_t(bitmap.size()));
    for (const char* other : {"empty.bmp", "full.bmp", "folder.bmp"}) {
        EXPECT_EQ(litPixels(other), 0) << other;
    }
    close(writer);
    fs::current_path(here);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vandrel
