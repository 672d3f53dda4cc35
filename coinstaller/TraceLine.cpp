// Wrapping of one trace message into its time-stamped line.
#include "coinstaller/TraceLine.h"

namespace coinst {

namespace {

// Appends units to a fixed buffer and silently drops whatever would not leave room for the
// terminator, so no caller can write past the end.
class LineWriter {
public:
    LineWriter(char16_t* line, std::size_t capacity) : m_line(line), m_capacity(capacity) {}

    void Put(char16_t unit) {
        if (m_length + 1 < m_capacity)
            m_line[m_length++] = unit;
    }

    void Put(const char16_t* text) {
        for (; *text != u'\0' && m_length + 1 < m_capacity; ++text)
            m_line[m_length++] = *text;
    }

    // printf's %0Nd for the unsigned fields of the time stamp.
    void PutNumber(unsigned value, unsigned minDigits) {
        char16_t digits[16];
        unsigned count = 0;
        do {
            digits[count++] = static_cast<char16_t>(u'0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count < minDigits)
            digits[count++] = u'0';
        while (count > 0)
            Put(digits[--count]);
    }

    std::size_t Finish() {
        if (m_capacity != 0)
            m_line[m_length] = u'\0';
        return m_length;
    }

private:
    char16_t* m_line;
    std::size_t m_capacity;
    std::size_t m_length = 0;
};

} // namespace

std::size_t WrapTraceLine(const TraceTime& time, const char16_t* message, char16_t* line,
                          std::size_t capacity) {
    LineWriter writer(line, capacity);
    writer.Put(u'[');
    writer.PutNumber(time.month, 2);
    writer.Put(u'/');
    writer.PutNumber(time.day, 2);
    writer.Put(u' ');
    writer.PutNumber(time.hour, 2);
    writer.Put(u':');
    writer.PutNumber(time.minute, 2);
    writer.Put(u':');
    writer.PutNumber(time.second, 2);
    writer.Put(u'\'');
    writer.PutNumber(time.milliseconds, 3);
    writer.Put(u"] ");
    writer.Put(message);
    writer.Put(u"\r\n");
    return writer.Finish();
}

} // namespace coinst
