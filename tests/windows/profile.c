/* Windows' own reading and writing of an INI file, to hold ours against:
 *   profile.exe get FILE SECTION KEY       the value's bytes as GetPrivateProfileStringA
 *                                          gives them, in hex ("-" when there is none)
 *   profile.exe set FILE SECTION KEY HEX   writes the bytes HEX with WritePrivateProfileStringA
 * Bytes in hex, so that no code page stands between the test and the file. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
    char full[MAX_PATH], value[4096];
    if (argc < 5 || !GetFullPathNameA(argv[2], MAX_PATH, full, NULL)) goto usage;
    if (strcmp(argv[1], "get") == 0 && argc == 5) {
        DWORD n = GetPrivateProfileStringA(argv[3], argv[4], "\x01", value, sizeof value, full);
        if (n == 1 && value[0] == '\x01') {
            printf("-\n");
            return 0;
        }
        for (DWORD i = 0; i < n; ++i) printf("%02x", (unsigned char)value[i]);
        printf("\n");
        return 0;
    }
    if (strcmp(argv[1], "set") == 0 && argc == 6 && strlen(argv[5]) / 2 < sizeof value) {
        size_t n = strlen(argv[5]) / 2;
        for (size_t i = 0; i < n; ++i) {
            unsigned byte;
            if (sscanf(argv[5] + 2 * i, "%2x", &byte) != 1) goto usage;
            value[i] = (char)byte;
        }
        value[n] = 0;
        return WritePrivateProfileStringA(argv[3], argv[4], value, full) ? 0 : 1;
    }
usage:
    fprintf(stderr, "usage: profile get FILE SECTION KEY | set FILE SECTION KEY HEX\n");
    return 2;
}
