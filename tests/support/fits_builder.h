#pragma once
// Byte-exact FITS files for tests, written card by card.
//
//   auto bytes = FitsBuilder::Image(16, 100, 60)          // SIMPLE, BITPIX, NAXIS, NAXIS1, NAXIS2
//                    .Real("BZERO", 32768)
//                    .Text("OBSERVER", "O'Hara")           // quotes are doubled for you
//                    .Pixels(values)                       // raw stored values, row by row, big-endian
//                    .Bytes();
//   FitsBuilder::Image(-32, 4, 4).Pixels(v).WriteTo(dir / "a.fits");
//
// Values given to Pixels are the values as stored in the file (before BZERO/BSCALE), encoded with the
// BITPIX given to Image (or to PixelsAs). The header is closed by END and blank-padded to 2880 bytes
// unless NoEnd() is called; the data are zero-padded to 2880 unless NoDataPadding() is called.
// TruncateData(n) keeps only the first n data bytes, for files whose data end early.

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace frontlys::testing {

class FitsBuilder {
public:
    static constexpr std::size_t kBlock = 2880;
    static constexpr std::size_t kCard = 80;

    // An empty file: no card at all.
    FitsBuilder() = default;

    // The mandatory primary header of a 2-D image (or 3-D when planes > 0).
    static FitsBuilder Image(int bitpix, int width, int height, int planes = 0)
    {
        FitsBuilder b;
        b.m_bitpix = bitpix;
        b.Logical("SIMPLE", true).Int("BITPIX", bitpix).Int("NAXIS", planes > 0 ? 3 : 2);
        b.Int("NAXIS1", width).Int("NAXIS2", height);
        if (planes > 0) b.Int("NAXIS3", planes);
        return b;
    }

    // A card exactly as given, blank-padded (or cut) to 80 characters.
    FitsBuilder& Card(std::string_view text)
    {
        std::string card(text.substr(0, kCard));
        card.resize(kCard, ' ');
        m_header += card;
        return *this;
    }

    // "KEYWORD = value / comment" with the value text written as is from column 11.
    FitsBuilder& Key(std::string_view keyword, std::string_view value, std::string_view comment = {})
    {
        std::string card(keyword.substr(0, 8));
        card.resize(8, ' ');
        card += "= ";
        card += value;
        if (!comment.empty()) card += " / " + std::string(comment);
        return Card(card);
    }

    FitsBuilder& Int(std::string_view keyword, long long value)
    {
        return Key(keyword, RightAligned(std::to_string(value)));
    }

    FitsBuilder& Real(std::string_view keyword, double value)
    {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
        std::string text(buf, res.ptr);
        if (text.find_first_of(".e") == std::string::npos) text += ".0";
        return Key(keyword, RightAligned(text));
    }

    FitsBuilder& Logical(std::string_view keyword, bool value)
    {
        return Key(keyword, RightAligned(value ? "T" : "F"));
    }

    // A quoted string value; quotes inside are doubled, short strings padded to 8 characters.
    FitsBuilder& Text(std::string_view keyword, std::string_view value, std::string_view comment = {})
    {
        std::string quoted = "'";
        for (char ch : value) {
            quoted += ch;
            if (ch == '\'') quoted += '\'';
        }
        while (quoted.size() < 9) quoted += ' ';
        quoted += "'";
        return Key(keyword, quoted, comment);
    }

    // A commentary card: "COMMENT" (or another keyword) then the text from column 9.
    FitsBuilder& Comment(std::string_view text, std::string_view keyword = "COMMENT")
    {
        std::string card(keyword.substr(0, 8));
        card.resize(8, ' ');
        return Card(card + std::string(text));
    }

    FitsBuilder& NoEnd()
    {
        m_end = false;
        return *this;
    }
    FitsBuilder& NoDataPadding()
    {
        m_padData = false;
        return *this;
    }
    FitsBuilder& TruncateData(std::size_t bytes)
    {
        m_truncate = bytes;
        return *this;
    }

    // Stored sample values, big-endian, in the BITPIX given to Image().
    FitsBuilder& Pixels(const std::vector<double>& values) { return PixelsAs(m_bitpix, values); }

    FitsBuilder& PixelsAs(int bitpix, const std::vector<double>& values)
    {
        for (double v : values) Encode(bitpix, v);
        return *this;
    }

    // Data bytes appended as given.
    FitsBuilder& RawData(std::string_view bytes)
    {
        m_data += bytes;
        return *this;
    }

    std::string Bytes() const
    {
        std::string out = m_header;
        if (m_end) {
            std::string end = "END";
            end.resize(kCard, ' ');
            out += end;
        }
        out.resize(RoundUp(out.size()), ' ');
        std::string data = m_data;
        if (m_padData) data.resize(RoundUp(data.size()), '\0');
        if (m_truncate < data.size()) data.resize(m_truncate);
        return out + data;
    }

    // Writes the bytes; false when the file cannot be written.
    bool WriteTo(const std::filesystem::path& path) const { return WriteBytes(path, Bytes()); }

    static bool WriteBytes(const std::filesystem::path& path, std::string_view bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }

private:
    static std::string RightAligned(std::string text)
    {
        if (text.size() < 20) text.insert(0, 20 - text.size(), ' ');
        return text;
    }

    static std::size_t RoundUp(std::size_t n) { return (n + kBlock - 1) / kBlock * kBlock; }

    template <class U>
    void PutBigEndian(U bits)
    {
        for (int shift = int(sizeof(U) * 8) - 8; shift >= 0; shift -= 8)
            m_data += static_cast<char>((bits >> shift) & 0xFF);
    }

    void Encode(int bitpix, double v)
    {
        switch (bitpix) {
            case 8:
                m_data += static_cast<char>(static_cast<std::uint8_t>(v));
                break;
            case 16:
                PutBigEndian(static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
                break;
            case 32:
                PutBigEndian(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
                break;
            case -32:
                PutBigEndian(std::bit_cast<std::uint32_t>(static_cast<float>(v)));
                break;
            case -64:
                PutBigEndian(std::bit_cast<std::uint64_t>(v));
                break;
            default:
                break;  // an unsupported BITPIX gets no data bytes
        }
    }

    std::string m_header;
    std::string m_data;
    int m_bitpix = 16;
    bool m_end = true;
    bool m_padData = true;
    std::size_t m_truncate = static_cast<std::size_t>(-1);
};

}  // namespace frontlys::testing
