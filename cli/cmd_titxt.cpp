// kv58ctl titxt: runs the image-file reader over a TI-TXT file without a device and prints
// the blocks that a programming run would send.
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "bsl/bsl_link.h"
#include "bsl/link_result.h"
#include "bsl/titxt.h"
#include "command.h"
#include "diagnostics.h"
#include "json_text.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "titxt", "show the blocks a TI-TXT image file gives, without a device",
    "Usage: kv58ctl titxt FILE\n"
    "\n"
    "Reads FILE with the same reader that sends images to the transmitter and prints each\n"
    "block it would send, one per line: the address as four hexadecimal digits, the byte\n"
    "count in decimal, and the bytes as hexadecimal pairs. Blocks hold at most 240 bytes; a\n"
    "new address line always starts a new block. With --json the blocks are an array of\n"
    "objects with \"address\" (a number) and \"data\" (a hexadecimal string).\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

struct ImageBlock {
    uint16_t address;
    std::string hex;
    size_t count;
};

std::string hexPairs(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
        out += strprintf("%02X", b);
    return out;
}

void printBlocks(const std::vector<ImageBlock>& blocks, bool json) {
    if (!json) {
        for (const ImageBlock& b : blocks) {
            std::printf("%04X %zu %s\n", b.address, b.count, b.hex.c_str());
        }
        return;
    }
    std::printf("[");
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::printf("%s{\"address\": %u, \"data\": \"%s\"}", i == 0 ? "\n  " : ",\n  ",
                    blocks[i].address, blocks[i].hex.c_str());
    }
    std::printf("%s]\n", blocks.empty() ? "" : "\n");
}

int run(Context& ctx) {
    if (ctx.args.empty())
        return usageError(kCommand, "no file given");
    if (ctx.args.size() > 1)
        return usageError(kCommand, "unexpected argument " + ctx.args[1]);
    const std::string& file = ctx.args[0];
    std::vector<ImageBlock> blocks;
    const LinkResult rc = readTiTxtFile(
        file, kDefaultMaxBlockSize, [&](uint16_t address, std::span<const uint8_t> bytes) {
            blocks.push_back({address, hexPairs(bytes), bytes.size()});
            return LinkResult::Ok;
        });
    if (failed(rc)) {
        printError("kv58ctl: %s\n", linkMessage(rc, false, file).c_str());
        return kExitFailure;
    }
    printBlocks(blocks, ctx.json);
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
