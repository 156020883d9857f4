// DXF groups written through one buffer, numbers in their fewest digits.
// SPDX-License-Identifier: MIT
#include "write/GroupWriter.h"

#include <charconv>  // std::to_chars

namespace Vexlor::Dxf {

namespace {

// Large enough that a mesh of a million faces goes out in a few hundred writes.
constexpr std::size_t kBufferSize = std::size_t{1} << 18;

}  // namespace

GroupWriter::GroupWriter(std::ostream& out) : m_out(out), m_buffer(kBufferSize) {}

void GroupWriter::Code(int code) {
    char* out = m_buffer.data() + m_used;
    if (code < 100) {
        *out++ = ' ';
        *out++ = code < 10 ? ' ' : static_cast<char>('0' + code / 10);
        *out++ = static_cast<char>('0' + code % 10);
    } else {
        out = std::to_chars(out, out + 8, code).ptr;
    }
    *out++ = '\n';
    m_used = static_cast<std::size_t>(out - m_buffer.data());
}

void GroupWriter::Text(int code, std::string_view value) {
    Ensure(kRoom + value.size());
    Code(code);
    Raw(value);
    m_buffer[m_used++] = '\n';
}

void GroupWriter::Integer(int code, long long value) {
    Ensure(kRoom);
    Code(code);
    RawInteger(value);
}

void GroupWriter::Number(int code, double value) {
    Ensure(kRoom);
    Code(code);
    RawNumber(value);
}

void GroupWriter::Handle(int code, std::uint64_t handle) {
    Ensure(kRoom);
    Code(code);
    RawHandle(handle);
}

void GroupWriter::RawInteger(long long value) {
    char* out = m_buffer.data() + m_used;
    out = std::to_chars(out, out + 24, value).ptr;
    *out++ = '\n';
    m_used = static_cast<std::size_t>(out - m_buffer.data());
}

void GroupWriter::RawNumber(double value) {
    char* out = m_buffer.data() + m_used;
    // The shortest form is at most 24 characters ("-2.2250738585072014e-308").
    out = std::to_chars(out, out + 31, value).ptr;
    *out++ = '\n';
    m_used = static_cast<std::size_t>(out - m_buffer.data());
}

void GroupWriter::RawHandle(std::uint64_t handle) {
    char* out = m_buffer.data() + m_used;
    char* end = std::to_chars(out, out + 17, handle, 16).ptr;
    for (char* c = out; c < end; ++c) {
        if (*c >= 'a') *c = static_cast<char>(*c - 'a' + 'A');
    }
    *end++ = '\n';
    m_used = static_cast<std::size_t>(end - m_buffer.data());
}

void GroupWriter::Point2(int code, double x, double y) {
    Number(code, x);
    Number(code + 10, y);
}

void GroupWriter::Point3(int code, double x, double y, double z) {
    Number(code, x);
    Number(code + 10, y);
    Number(code + 20, z);
}

bool GroupWriter::Flush() {
    if (m_used > 0) m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_used));
    m_used = 0;
    return !m_out.fail();
}

}  // namespace Vexlor::Dxf
