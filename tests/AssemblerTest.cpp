#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>

#include "cpu/Assembler.h"
#include "tests/TempDir.h"

namespace {

// Sources in this assembler's syntax; each is also assembled by ca65 + ld65.
struct PeerCase { const char* name; int origin; const char* source; };
const PeerCase kPeerCases[] = {
    {"labels", 0xC000, R"(; labels both ways, zero page or absolute
*=$C000
start   LDX #$00
loop    LDA table,X
        STA $0400,X
        STA $05,X
        CPX #count
        BNE loop
        BEQ done
        JMP (vector)
        LDA (ptr),Y
        STA (ptr,X)
        STX zpv,Y
        LDY later
        LDA $0005
        ORA %00000101
        JSR sub
done    RTS
sub:    ASL
        BCC *+4
        NOP
        BNE *-3
        RTS
ptr = $FB
vector  .WORD start, done
table   .BYTE 1,2,3,$FF,%1010
later   = $20
count = 4
zpv = $10
)"},
    {"bytes", 0x1000, R"(*= $1000
        LDA #<msg
        LDX #>msg
        LDY #>msg+$100
        LDA #'Q'
here    LDA here+2
        STA *+4
        .BYTE <msg, >msg, <end+1, >end+1
        .data 'a', 'Z', 10+5-3
        .WORD *, here-1, $FFFF, , fwd
        .WORDHL $1234, msg
msg     .TEXT "Hi; there"
end     .text "x"
fwd     .byte 0
)"},
    {"lower", 0x2000, "*=\xC2\xA4" "2000\n\tlda #\xC2\xA4" "10\nbase = $3000\noff = base+$10\n"
                      "\tsta off\n\tsta off,x\n\tldy base-1,X\n\tlda count2 ; later\ncount2 = 7\n"
                      "lbl_1:  rts\n\tbvc lbl_1\n"},
};

std::string toCa65(const std::string& source) {
    static const std::pair<std::regex, const char*> kRules[] = {
        {std::regex("\xC2\xA4"), "$"},
        {std::regex("^\\*\\s*=", std::regex::multiline), ".org "},
        {std::regex("^([A-Za-z_]\\w*):?(?=\\s|$)(?!\\s*=)", std::regex::multiline), "$1:"},
        {std::regex("\\.(text|data)", std::regex::icase), ".byte"},
        {std::regex("\\.wordhl", std::regex::icase), ".dbyt"},
        {std::regex("([#,]\\s*|\\.byte\\s+)([<>])([^,;\\s]+)", std::regex::icase), "$1$2($3)"},
        {std::regex(",\\s*,"), ","},
    };
    std::string out = source;
    for (const auto& [re, with] : kRules) out = std::regex_replace(out, re, with);
    return out;
}

Bytes runCa65(const std::string& source) {
    TempDir dir;
    std::ofstream(dir.path / "in.s") << toCa65(source);
    std::ofstream(dir.path / "flat.cfg") << "MEMORY { M: start = 0, size = $10000, file = %O; }\n"
                                            "SEGMENTS { CODE: load = M, type = rw; }\n";
    const std::string d = dir.path.string() + "/";
    const std::string cmd = "ca65 -t none -i " + d + "in.s -o " + d + "in.o 2>/dev/null && ld65 -C " + d +
                            "flat.cfg -o " + d + "out.bin " + d + "in.o";
    if (std::system(cmd.c_str()) != 0) return {};
    std::ifstream in(dir.path / "out.bin", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(AssemblerTest, SameBytesAsCa65) {
    for (const PeerCase& c : kPeerCases) {
        auto m = std::make_unique<Machine>();
        Assembler as(*m);
        ASSERT_TRUE(as.assemble(c.source)) << c.name << ": " << as.messages[0].text;
        const Bytes ours(m->ram + c.origin, m->ram + as.finalAddr);
        const Bytes peer = runCa65(c.source);
        ASSERT_FALSE(peer.empty()) << c.name << ": ca65 refused\n" << toCa65(c.source);
        EXPECT_EQ(ours, peer) << c.name;
    }
}

// Every message of a compile, as "line:text|...".
TEST(AssemblerTest, Messages) {
    const std::pair<const char*, const char*> kCases[] = {
        {"; Vorlix assembler\n*=$C000\n\nstart   LDA #$00\n        STA $D020\n        RTS\n",
         "0:Compiled OK!|0:Code start address: $C000|0:Final address: $C006"},
        {"", "0:Compiled OK!|0:No code start|0:Final address: $C000"},
        {"*=$1000\n.byte 1\n\tNOP", "0:Compiled OK!|0:Code start address: $1001|0:Final address: $1002"},
        {"LDA #300", "1:Immediate value out of range|0:Compile failed!"},
        {" .BYTE 1,300", "1:Byte value out of range: 300|0:Compile failed!"},
        {"a\nA: nop", "2:Duplicate label: A|0:Compile failed!"},
        {"x=1\nx = 2", "2:Duplicate variable: X|0:Compile failed!"},
        {"v = later+1\nlater=2", "1:Variable uses an unknown symbol: V|0:Compile failed!"},
        {"v = 1+\nw=-1", "1:Bad value for V|2:Bad value for W|0:Compile failed!"},
        {"*$C000\n* = nowhere\n*=1+", "1:Syntax error|2:Bad address|3:Bad address|0:Compile failed!"},
        {"1abc\nab-c nop\nlbl FOO", "1:Syntax error|2:Bad label: AB-C|3:Unknown mnemonic: FOO|0:Compile failed!"},
        {"LDA ($12\n lda #1+\n lda #$1G", "1:Missing )|2:Bad value: 1+|3:Bad value: $1G|0:Compile failed!"},
        {" lda nowhere ; never defined", "1:Unknown symbol or bad value: NOWHERE|0:Compile failed!"},
        {".text \"abc\n.BYTE\n.byte 1,,x+\n.foo 1",
         "1:Syntax error in .text|2:Missing data|3:Bad value: x+|4:Unknown directive .foo|0:Compile failed!"},
        {" LDA ($1234),Y\n STX $1234,Y", "1:Bad zero page address:  LDA ($1234),Y|"
                                         "2:Illegal addressing mode:  STX $1234,Y|0:Compile failed!"},
        {" LDA (far),Y\n BNE far ; too far\n*=$D000\nfar RTS",
         "1:Bad zero page address:  LDA (far),Y|2:Branch out of range:  BNE far ; too far|0:Compile failed!"},
    };
    for (const auto& [source, expected] : kCases) {
        auto m = std::make_unique<Machine>();
        Assembler as(*m);
        as.assemble(source);
        std::string got;
        for (const Assembler::Message& msg : as.messages)
            got += (got.empty() ? "" : "|") + std::to_string(msg.line) + ":" + msg.text;
        EXPECT_EQ(got, expected) << source;
    }
}

}  // namespace
