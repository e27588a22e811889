// Copies the data of the first resource of a numeric type out of a compiled
// resource (.res) file, as written by llvm-rc or rc.exe.
//
// usage: vantrix_resextract input.res type-id output.bin
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::uint32_t readU32(const std::vector<unsigned char> &b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

std::uint16_t readU16(const std::vector<unsigned char> &b, std::size_t at)
{
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: vantrix_resextract input.res type-id output.bin\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const unsigned long wanted = std::strtoul(argv[2], nullptr, 0);

    // Each entry: DataSize, HeaderSize, TYPE, NAME, ..., then the data,
    // the whole entry padded to a multiple of four bytes.
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t dataSize = readU32(bytes, at);
        const std::uint32_t headerSize = readU32(bytes, at + 4);
        if (headerSize < 12 || at + headerSize + std::size_t(dataSize) > bytes.size())
            break;
        const bool numericType = readU16(bytes, at + 8) == 0xFFFF;
        if (numericType && readU16(bytes, at + 10) == wanted && dataSize > 0) {
            std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char *>(bytes.data() + at + headerSize), std::streamsize(dataSize));
            return out ? 0 : 1;
        }
        at += (std::size_t(headerSize) + dataSize + 3) & ~std::size_t(3);
    }
    std::cerr << "vantrix_resextract: no resource of type " << wanted << " in " << argv[1] << "\n";
    return 1;
}
