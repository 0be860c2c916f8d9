// kv58ctl product-code CODE: decodes a product code without a transmitter, through the
// "Output" and "Temperatur" tables of the settings file, and prints what the dialog would
// apply.
#include <cstdio>
#include <string>

#include "base/files.h"
#include "base/text.h"
#include "command.h"
#include "console_ui.h"
#include "diagnostics.h"
#include "json_text.h"
#include "productcode/product_code_decoder.h"

namespace kv58::cli {

namespace {

int run(Context& ctx);

const Command kCommand{
    "product-code", "decode a product code (ProduktCode) into its configuration",
    "Usage: kv58ctl product-code CODE\n"
    "\n"
    "Decodes the product code CODE without a transmitter and prints the configuration it\n"
    "orders: model, output signal (minimum, maximum, unit), temperature unit, alarm relay,\n"
    "display reading and temperature range. Output signal and temperature range come from\n"
    "the sections \"Output\" and \"Temperatur\" of the settings file. Blanks and hyphens in\n"
    "CODE are ignored, so the code may also be given in several words.\n"
    "With --json the result is one JSON object on stdout. A rejected code prints the\n"
    "reasons on stderr and exits with 1.\n",
    run};

const CommandRegistrar kRegistrar(kCommand);

void printJson(const ProductCodeDecoder& d) {
    std::printf(
        "{\"model\": %s, \"outputMin\": %d, \"outputMax\": %d, \"outputUnit\": %s, "
        "\"celsius\": %s, \"alarmRelay\": %s, \"display\": %s, \"tempMin\": %d, "
        "\"tempMax\": %d}\n",
        jsonCp1252(d.getModel()).c_str(), d.getOutputMin(), d.getOutputMax(),
        jsonCp1252(d.getOutputUnit()).c_str(), d.getCelsius() ? "true" : "false",
        d.getAlarmRelay() ? "true" : "false", jsonCp1252(d.getDisplay()).c_str(), d.getTempMin(),
        d.getTempMax());
}

void printText(const ProductCodeDecoder& d) {
    std::printf("model:      %s\n", cp1252ToUtf8(d.getModel()).c_str());
    std::printf("outputMin:  %d\n", d.getOutputMin());
    std::printf("outputMax:  %d\n", d.getOutputMax());
    std::printf("outputUnit: %s\n", cp1252ToUtf8(d.getOutputUnit()).c_str());
    std::printf("celsius:    %d (%s)\n", d.getCelsius(), d.getCelsius() ? "C" : "F");
    std::printf("alarmRelay: %d (%s)\n", d.getAlarmRelay(), d.getAlarmRelay() ? "Yes" : "No");
    std::printf("display:    %s\n", cp1252ToUtf8(d.getDisplay()).c_str());
    std::printf("tempMin:    %d\n", d.getTempMin());
    std::printf("tempMax:    %d\n", d.getTempMax());
}

int run(Context& ctx) {
    if (ctx.args.empty())
        return usageError(kCommand, "no product code given");
    std::string code;
    for (const std::string& arg : ctx.args) {
        if (!arg.empty() && arg[0] == '-')
            return usageError(kCommand, "unknown option " + arg);
        code += (code.empty() ? "" : " ") + arg;
    }
    ProductCodeDecoder decoder(*ctx.ui);
    decoder.setIniFile(ctx.iniPath);
    if (!decoder.parse(utf8ToCp1252(code))) {
        ctx.ui->messageBox("Invalid ProduktCode!", MsgIcon::Exclamation, MsgButtons::Ok);
        if (!fileReadable(ctx.iniPath)) {
            printError(
                "kv58ctl: the settings file %s cannot be read; the output and "
                "temperature tables come from it (give one with --ini FILE)\n",
                ctx.iniPath.c_str());
        }
        return kExitFailure;
    }
    if (ctx.json) {
        printJson(decoder);
    } else {
        printText(decoder);
    }
    return kExitOk;
}

}  // namespace

}  // namespace kv58::cli
