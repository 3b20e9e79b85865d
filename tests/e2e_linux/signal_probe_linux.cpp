// vandrel_signal_probe: a stand-in worker for the Linux end-to-end tests that notes the
// signal state it was started with: the SigBlk and SigIgn lines of /proc/self/status go
// to the file "signals" in its working directory (the saver's ClientDir). A shell script
// cannot do this: the shell clears the blocked mask when it starts.
#include <cstdio>
#include <cstring>

int main() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    std::FILE* out = std::fopen("signals", "w");
    if (status == nullptr || out == nullptr) {
        return 1;
    }
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "SigBlk:", 7) == 0 || std::strncmp(line, "SigIgn:", 7) == 0) {
            std::fputs(line, out);
        }
    }
    std::fclose(status);
    return std::fclose(out) == 0 ? 0 : 1;
}
