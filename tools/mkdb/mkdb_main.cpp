// morvel-mkdb: writes the demo stock, the fallback pictures and benchmark
// stocks as Access databases.
#include "stock_schema.h"

#include <QGuiApplication>

#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>

namespace {

const char usage[] =
    "usage: morvel-mkdb demo DIR\n"
    "       morvel-mkdb nofoto DIR\n"
    "       morvel-mkdb bench FILE [--drills N] [--cutters N] [--holders N] [--inserts N] [--debts N] [--seed S]\n"
    "                  [--layout real | plain | FEATURE,...] [--jet3-code-page CP]\n"
    "  The layout is the one Access leaves (real, the default), each table written\n"
    "  whole with no compression (plain), or plain plus some of: compressed,\n"
    "  interleaved, deleted, longvalues. --jet3-code-page writes an Access 97\n"
    "  file in that code page instead of a Jet 4 one.\n";

int fail(const std::string &message)
{
    std::fprintf(stderr, "morvel-mkdb: %s\n", message.c_str());
    return 1;
}

bool parseLayout(const std::string &text, std::uint64_t seed, jetdb::Layout &out)
{
    if (text == "real") {
        out = jetdb::Layout::realLayout(seed);
        return true;
    }
    out = jetdb::Layout::plain();
    out.seed = seed;
    if (text == "plain")
        return true;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(',', at), text.size());
        const std::string feature = text.substr(at, end - at);
        const jetdb::Layout real = jetdb::Layout::realLayout(seed);
        if (feature == "compressed") out.compressText = true;
        else if (feature == "interleaved") out.interleaved = true;
        else if (feature == "deleted") out.deletedPerThousand = real.deletedPerThousand;
        else if (feature == "longvalues") out.longValuesInline = false;
        else return false;
        at = end + 1;
    }
    return true;
}

bool parseNumber(const char *text, long long max, long long &out)
{
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || !end || *end || end == text || v < 0 || v > max)
        return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Pictures are drawn without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 3) {
        std::fputs(usage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    const std::string target = argv[2];
    try {
        if (command == "demo" || command == "nofoto") {
            if (argc != 3) {
                std::fputs(usage, stderr);
                return 2;
            }
            QGuiApplication app(argc, argv);
            if (command == "demo")
                stock::writeDemo(target);
            else
                stock::writeNoFoto(target);
            return 0;
        }
        if (command == "bench") {
            stock::BenchSizes sizes;
            long long seed = 1;
            std::string layout = "real";
            long long codePage = 0;
            for (int i = 3; i < argc; i += 2) {
                const std::string option = argv[i];
                if (i + 1 >= argc)
                    return fail("option " + option + " needs a value");
                if (option == "--layout") {
                    layout = argv[i + 1];
                    continue;
                }
                long long v = 0;
                const long long max = option == "--seed" ? 0x7FFFFFFFFFFFFFFFll : 10000000ll;
                if (!parseNumber(argv[i + 1], max, v))
                    return fail("bad value for " + option + ": " + argv[i + 1]);
                if (option == "--drills") sizes.drills = int(v);
                else if (option == "--cutters") sizes.cutters = int(v);
                else if (option == "--holders") sizes.holders = int(v);
                else if (option == "--inserts") sizes.inserts = int(v);
                else if (option == "--debts") sizes.debts = int(v);
                else if (option == "--seed") seed = v;
                else if (option == "--jet3-code-page") codePage = v;
                else return fail("unknown option " + option);
            }
            jetdb::Layout pages;
            if (!parseLayout(layout, std::uint64_t(seed), pages))
                return fail("bad value for --layout: " + layout);
            stock::writeBench(target, sizes, std::uint64_t(seed), pages, int(codePage));
            return 0;
        }
    } catch (const std::exception &e) {
        return fail(e.what());
    }
    std::fputs(usage, stderr);
    return 2;
}
