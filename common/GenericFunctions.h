#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Stateless helpers for text, byte buffers, numbers, time and files.
class GenericFunctions {
  public:
    // Decimal parsing: leading blanks and a sign are accepted, text after the
    // digits is ignored ("12abc" reads as 12).
    static bool ParseCheckInt(const char* text, int32_t& value);
    static int32_t ParseInt(const char* text, int32_t defaultValue);
    static float ParseFloat(const char* text, float defaultValue);
    // The same reading into 64 bits, for callers that check their own range:
    // false when no digit could be read or the value does not fit.
    static bool ParseDecimal(const char* text, int64_t& value);
    // True when every byte is a digit or one of '<' '>' (and for length 0).
    static bool IsaNumericField(const unsigned char* buffer, size_t length);
    // Reads up to max runs of digits, skipping everything else (a '-' too).
    static size_t ExtractIntFromString(const char* text, int32_t* values, size_t max);

    static void ToUpper(char* text);
    static void RemovecharsFromString(char* text, char c);
    static void RemoveStrFromString(char* text, const char* part);
    // Every non-overlapping occurrence of from, left to right, replaced by to.
    // Null when any argument is missing; a plain copy when from is empty.
    static std::unique_ptr<char[]> repl_str(const char* text, const char* from, const char* to);
    // Copies count bytes from source[offset..] as text: 32..126 kept, a zero
    // byte ends the text, anything else becomes a blank. Always terminated;
    // destinationSize bounds the copy.
    static void ConvertBufferToStringAndClean(char* destination, size_t destinationSize,
                                              const unsigned char* source, size_t sourceLength,
                                              size_t offset, size_t count);
    static std::string ConvertBufferToStringAndClean(const unsigned char* source, size_t length);
    static uint32_t ConvertByteBufferToULong4(const unsigned char* buffer);
    // Position of text in a list that ends with an empty entry, or -1.
    static int IndexOf(const char* const* list, const char* text);
    // Splits text in place at runs of delimiters; pieces point into text.
    static void splitModify(char* text, const char* delimiters, std::vector<char*>& pieces);
    static unsigned GetMSBIndexFromUInt(uint32_t v);

    // Non-overlapping match offsets.
    static std::vector<int32_t> FindBytePattern(const unsigned char* buffer, size_t length,
                                                size_t start, const unsigned char* pattern,
                                                size_t patternLength);
    static std::vector<int32_t> FindString(const unsigned char* buffer, size_t length,
                                           const char* text);
    static std::vector<int32_t> FindString(const unsigned char* buffer, size_t length, size_t start,
                                           const char* text);

    // Milliseconds since the epoch; 0 when the clock cannot be read.
    static uint64_t GetCurrentTimeMsec();
    static uint32_t GetTickCount();

    // True when the tty's driver is the USB printer's virtual serial port driver.
    static bool ISVirtualCOM(const char* devicePath, const char* ttyClassDir = "/sys/class/tty/");
};
