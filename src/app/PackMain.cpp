// dunvex-pack: packs and unpacks files in the container of the win tally, so
// players and developers can look inside dunvextally.tld.
#include "codec/FilePacker.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const Usage = "Usage: dunvex-pack pack IN OUT\n"
                          "       dunvex-pack unpack IN OUT\n"
                          "Packs IN into OUT in the format of the win tally file "
                          "(dunvextally.tld), or unpacks it.\n"
                          "On failure it prints why, exits with 1 and leaves OUT as it was.\n"
                          "\n"
                          "  --help  show this text\n";

int run(const char* command, const char* input, const char* output) {
    TFilePacker packer;
    packer.CompressMode = TCompressMode::Fast;
    packer.InputFile = input;
    packer.OutputFile = output;
    try {
        if (std::strcmp(command, "pack") == 0)
            packer.Compress();
        else
            packer.Decompress();
    } catch (const EFilePackerException& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (argc != 4 || (std::strcmp(argv[1], "pack") != 0 && std::strcmp(argv[1], "unpack") != 0)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    return run(argv[1], argv[2], argv[3]);
}
