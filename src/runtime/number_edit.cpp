#include "runtime/number_edit.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace rt {

namespace detail {

// The three partial sums of `mid` stay below 3 * 2^32, so none of them overflows.
std::uint64_t mul64_portable(std::uint64_t a, std::uint64_t b, std::uint64_t& hi) {
  const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
  return (mid << 32) | (p00 & 0xffffffffu);
}

}  // namespace detail

namespace {

// ---- Bit pattern ---------------------------------------------------------------

struct Parts {
  bool negative;
  int biased;          // biased exponent, 0..2047
  std::uint64_t frac;  // 52-bit fraction
};

Parts split(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  return {(bits >> 63) != 0, static_cast<int>((bits >> 52) & 0x7ff), bits & ((std::uint64_t{1} << 52) - 1)};
}

Special classify(const Parts& b) {
  constexpr std::uint64_t quiet_bit = std::uint64_t{1} << 51;
  if (b.frac == 0) return Special::inf;
  if ((b.frac & quiet_bit) == 0) return Special::snan;
  if (b.negative && b.frac == quiet_bit) return Special::ind;
  return Special::qnan;
}

// Zero, an infinity or a NaN: the decimal form is settled without any digits.
bool trivial_form(const Parts& b, Decimal& out) {
  out = Decimal{};
  if (b.biased == 0x7ff) {
    out.special = classify(b);
    return true;
  }
  return b.biased == 0 && b.frac == 0;
}

// x = m * 2^e with m an integer below 2^53.
void integer_and_exponent(const Parts& b, std::uint64_t& m, int& e) {
  if (b.biased == 0) {
    m = b.frac;
    e = -1074;
  } else {
    m = b.frac | (std::uint64_t{1} << 52);
    e = b.biased - 1075;
  }
}

// ---- Small big integers (little-endian 32-bit limbs) ----------------------------

using Big = std::vector<std::uint32_t>;

void big_mul_small(Big& a, std::uint32_t f) {
  std::uint64_t carry = 0;
  for (auto& limb : a) {
    const std::uint64_t t = std::uint64_t{limb} * f + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) a.push_back(static_cast<std::uint32_t>(carry));
}

// Floor division by a small divisor; returns the remainder.
std::uint32_t big_div_small(Big& a, std::uint32_t d) {
  std::uint64_t rem = 0;
  for (std::size_t i = a.size(); i-- > 0;) {
    const std::uint64_t cur = (rem << 32) | a[i];
    a[i] = static_cast<std::uint32_t>(cur / d);
    rem = cur % d;
  }
  while (!a.empty() && a.back() == 0) a.pop_back();
  return static_cast<std::uint32_t>(rem);
}

void big_shift_left(Big& a, int bits) {
  const int limbs = bits / 32, rest = bits % 32;
  if (rest != 0) {
    std::uint32_t carry = 0;
    for (auto& limb : a) {
      const std::uint32_t next = limb >> (32 - rest);
      limb = (limb << rest) | carry;
      carry = next;
    }
    if (carry != 0) a.push_back(carry);
  }
  a.insert(a.begin(), static_cast<std::size_t>(limbs), 0u);
}

int big_bit_length(const Big& a) {
  if (a.empty()) return 0;
  return static_cast<int>(32 * (a.size() - 1)) + std::bit_width(a.back());
}

bool big_bit(const Big& a, int i) {
  if (i < 0 || i / 32 >= static_cast<int>(a.size())) return false;
  return ((a[static_cast<std::size_t>(i / 32)] >> (i % 32)) & 1u) != 0;
}

std::string big_to_decimal(Big a) {
  std::string out;
  while (!a.empty()) {
    std::uint32_t chunk = big_div_small(a, 1000000000u);
    for (int i = 0; i < 9; ++i) {
      out.push_back(static_cast<char>('0' + chunk % 10));
      chunk /= 10;
    }
  }
  while (out.size() > 1 && out.back() == '0') out.pop_back();
  std::reverse(out.begin(), out.end());
  return out.empty() ? std::string("0") : out;
}

// ---- 64 x 128-bit products ---------------------------------------------------------

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 u128;
std::uint64_t mul64(std::uint64_t a, std::uint64_t b, std::uint64_t& hi) {
  const u128 r = static_cast<u128>(a) * b;
  hi = static_cast<std::uint64_t>(r >> 64);
  return static_cast<std::uint64_t>(r);
}
#else
std::uint64_t mul64(std::uint64_t a, std::uint64_t b, std::uint64_t& hi) { return detail::mul64_portable(a, b, hi); }
#endif

struct U192 {
  std::uint64_t w0, w1, w2;  // w0 lowest
};

U192 mul_64x128(std::uint64_t m, std::uint64_t hi, std::uint64_t lo) {
  std::uint64_t l1, h1;
  const std::uint64_t l0 = mul64(m, lo, l1);
  const std::uint64_t h0 = mul64(m, hi, h1);
  const std::uint64_t mid = l1 + h0;
  return {l0, mid, h1 + (mid < l1 ? 1u : 0u)};
}

U192 add_small(U192 a, std::uint64_t v) {
  a.w0 += v;
  if (a.w0 < v && ++a.w1 == 0) ++a.w2;
  return a;
}

// a >> sh for 64 <= sh < 128, the result known to fit in 64 bits.
std::uint64_t shift_down(const U192& a, int sh) {
  if (sh == 64) return a.w1;
  return (a.w1 >> (sh - 64)) | (a.w2 << (128 - sh));
}

// ---- Powers of five -------------------------------------------------------------

// 5^g as a 128-bit mantissa T in [2^127, 2^128) with T <= 5^g * 2^shift < T + 1;
// `exact` when T equals 5^g * 2^shift (0 <= g <= 55).
struct Pow5 {
  std::uint64_t hi, lo;
  int shift;
  bool exact;
};

// g = 17 - floor(log10 |x|) spans -290..341 over all positive doubles.
constexpr int g_min = -292, g_max = 342;

struct Pow5Table {
  std::array<Pow5, g_max - g_min + 1> e{};

  static Pow5 top_bits(const Big& a, int shift_base, bool exact) {
    const int len = big_bit_length(a);
    Pow5 r{0, 0, shift_base + 128 - len, exact};
    for (int i = 0; i < 64; ++i) {
      if (big_bit(a, len - 1 - i)) r.hi |= std::uint64_t{1} << (63 - i);
      if (big_bit(a, len - 65 - i)) r.lo |= std::uint64_t{1} << (63 - i);
    }
    return r;
  }

  Pow5Table() {
    Big p{1};
    for (int g = 0; g <= g_max; ++g) {
      e[static_cast<std::size_t>(g - g_min)] = top_bits(p, 0, big_bit_length(p) <= 128);
      big_mul_small(p, 5);
    }
    // floor(floor(2^N / 5^(j-1)) / 5) = floor(2^N / 5^j), and its top 128 bits are
    // floor(2^s / 5^j) for the matching s: every entry is an exact floor.
    constexpr int N = 1024;
    Big q(N / 32 + 1, 0);
    q.back() = 1;
    for (int j = 1; j <= -g_min; ++j) {
      big_div_small(q, 5);
      e[static_cast<std::size_t>(-j - g_min)] = top_bits(q, N, false);
    }
  }
};

const Pow5& pow5(int g) {
  static const Pow5Table table;
  return table.e[static_cast<std::size_t>(g - g_min)];
}

constexpr std::uint64_t ten17 = 100000000000000000u;
constexpr std::uint64_t ten18 = 1000000000000000000u;

// D1..D18 as an integer: half up on D18 alone into 17 digits, then the digits.
void finish_from_eighteen(std::uint64_t d18, int p, bool negative, Decimal& out) {
  std::uint64_t d17 = d18 / 10;
  if (d18 % 10 >= 5 && ++d17 == ten17) {
    d17 = ten17 / 10;
    ++p;
  }
  out.negative = negative;
  out.p = p;
  for (int i = 16; i >= 0; --i) {
    out.digits[i] = static_cast<char>('0' + d17 % 10);
    d17 /= 10;
  }
  int count = 17;
  while (out.digits[count - 1] == '0') --count;
  out.count = count;
}

// The ends disagree when V = x / 10^q is an integer, which happens for values
// above 10^18 with 5^q dividing m. floor(V) is then v_hi or v_hi - 1: compare
// x = m * 2^e with v_hi * 10^q exactly, as m * 2^(e - q) against v_hi * 5^q.
bool settle_integer_quotient(std::uint64_t m, int e, int q, std::uint64_t v_hi, std::uint64_t& v) {
  const int s = e - q;
  if (q < 1 || q > 27 || s < 0 || s > 74) return false;
  std::uint64_t five_q = 1;
  for (int i = 0; i < q; ++i) five_q *= 5;
  std::uint64_t r_hi;
  const std::uint64_t r_lo = mul64(v_hi, five_q, r_hi);
  const std::uint64_t x_hi = s == 0 ? 0 : s >= 64 ? m << (s - 64) : m >> (64 - s);
  const std::uint64_t x_lo = s >= 64 ? 0 : m << s;
  const bool at_least = x_hi != r_hi ? x_hi > r_hi : x_lo >= r_lo;
  v = at_least ? v_hi : v_hi - 1;
  return true;
}

// D1..D18 of a finite nonzero x as the integer v in [10^17, 10^18), with p;
// false when 128-bit powers of five cannot settle them.
bool eighteen_digits(const Parts& b, std::uint64_t& v_out, int& p_out) {
  std::uint64_t m;
  int e;
  integer_and_exponent(b, m, e);

  // |x| in [2^top, 2^(top+1)), so floor(log10 |x|) is k or k + 1. Scaling by 10^-q
  // with q = k - 17 brings the value V into [10^17, 10^19).
  const int top = e + std::bit_width(m) - 1;
  const int k = (top * 78913) >> 18;  // floor(top * log10 2) for |top| <= 1650
  const int q = k - 17;
  const Pow5& t = pow5(-q);

  // V = m * 2^e * 2^-q * 5^-q = m * (5^-q * 2^shift) / 2^sh.
  const int sh = t.shift + q - e;
  if (sh < 64 || sh >= 128) return false;
  const U192 prod = mul_64x128(m, t.hi, t.lo);
  std::uint64_t v = shift_down(prod, sh);
  // A truncated power lies below the true one by less than one unit, so the true
  // product lies in (prod, prod + m): the floor is settled when both ends agree.
  if (!t.exact) {
    const std::uint64_t v_hi = shift_down(add_small(prod, m), sh);
    if (v_hi != v && !settle_integer_quotient(m, e, q, v_hi, v)) return false;
  }
  if (v < ten17 || v >= 10 * ten18) return false;

  int p = q + 18;
  if (v >= ten18) {
    v /= 10;  // floor(floor(V) / 10) = floor(V / 10): still truncation
    ++p;
  }
  v_out = v;
  p_out = p;
  return true;
}

}  // namespace

bool decimal_form_fast(double x, Decimal& out) {
  const Parts b = split(x);
  if (trivial_form(b, out)) return true;
  std::uint64_t v;
  int p;
  if (!eighteen_digits(b, v, p)) return false;
  finish_from_eighteen(v, p, b.negative, out);
  return true;
}

Decimal decimal_form_reference(double x) {
  const Parts b = split(x);
  Decimal out;
  if (trivial_form(b, out)) return out;
  std::uint64_t m;
  int e;
  integer_and_exponent(b, m, e);

  // m * 2^e is the integer m * 2^e, or m * 5^-e / 10^-e.
  Big n{static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(m >> 32)};
  if (e >= 0) {
    big_shift_left(n, e);
  } else {
    int left = -e;
    for (; left >= 13; left -= 13) big_mul_small(n, 1220703125u);  // 5^13
    for (; left > 0; --left) big_mul_small(n, 5);
  }
  const std::string all = big_to_decimal(n);
  int p = static_cast<int>(all.size()) + std::min(e, 0);

  std::string d = all.substr(0, 18);
  d.resize(18, '0');
  const bool up = d[17] >= '5';
  d.pop_back();
  if (up) {
    int i = 16;
    while (i >= 0 && d[static_cast<std::size_t>(i)] == '9') d[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      d = "1" + std::string(16, '0');
      ++p;
    } else {
      ++d[static_cast<std::size_t>(i)];
    }
  }
  while (d.back() == '0') d.pop_back();

  out.negative = b.negative;
  out.p = p;
  out.count = static_cast<int>(d.size());
  std::memcpy(out.digits, d.data(), d.size());
  return out;
}

Decimal decimal_form(double x) {
  Decimal out;
  if (decimal_form_fast(x, out)) return out;
  return decimal_form_reference(x);
}

namespace {
DecimalSource decimal_source = decimal_form;
}  // namespace

void set_decimal_source(DecimalSource source) { decimal_source = source != nullptr ? source : decimal_form; }

// ---- Editing ----------------------------------------------------------------------

namespace {

// Second rounding, to n significant digits (n <= 16), half up on digit n + 1 with
// the carry passed through nines. A count of 0 afterwards means the value rounded
// to nothing, that is to zero.
void round_to(Decimal& dec, int n) {
  if (dec.count <= n) return;
  const bool up = dec.digits[n] >= '5';
  dec.count = n;
  if (!up) return;
  int i = n - 1;
  while (i >= 0 && dec.digits[i] == '9') --i;
  if (i < 0) {
    dec.digits[0] = '1';
    dec.count = 1;
    ++dec.p;
  } else {
    ++dec.digits[i];
    dec.count = i + 1;
  }
}

bool shows_zero(const Decimal& dec) { return dec.count == 0 || dec.digits[0] == '0'; }

// Digits in order, zeros once the string has run out.
struct DigitReader {
  const Decimal& dec;
  int next = 0;
  char get() { return next < dec.count ? dec.digits[next++] : '0'; }
};

void fill(char* out, int n, char c) {
  if (n > 0) std::memset(out, c, static_cast<std::size_t>(n));
}

void edit_special(char* out, int w, Special s) {
  const char* text = s == Special::inf    ? "1#INF"
                     : s == Special::ind  ? "1#IND"
                     : s == Special::snan ? "1#SNAN"
                                          : "1#QNAN";
  const int len = std::min(w, static_cast<int>(std::strlen(text)));
  std::memcpy(out, text, static_cast<std::size_t>(std::max(len, 0)));
  fill(out + len, w - len, '.');
}

}  // namespace

namespace {

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Eight decimal digits of v < 10^8, leading zeros included, as the bytes of a
// little-endian word in memory order: digit pairs and single digits split in all lanes at
// once (each lane's quotient by a multiply and shift is exact below its bound),
// so no digit goes through memory before the field is written.
std::uint64_t eight_digits(std::uint32_t v) {
  std::uint64_t x = (v / 10000u) | (std::uint64_t{v % 10000u} << 32);  // two 4-digit lanes
  std::uint64_t hi = ((x * 5243) >> 19) & 0x0000007F0000007Fu;         // lane / 100
  x = hi | ((x - hi * 100) << 16);                                     // four 2-digit lanes
  hi = ((x * 103) >> 10) & 0x000F000F000F000Fu;                        // lane / 10
  x = hi | ((x - hi * 10) << 8);                                       // eight digits
  return x + 0x3030303030303030u;
}

// Ew.15 under scale factor 1 for a finite x, straight from the 18
// digits: the two roundings of the decimal form and of E3 done on the integer.
// False when the general path must decide (the digits need the big integers).
bool edit_e15_scale1(char* out, int w, double x) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const Parts b = split(x);
  if (b.biased == 0x7ff) return false;
  if (b.biased == 0 && b.frac == 0) {  // either sign: no sign, exponent 0
    if (w < 21) {
      fill(out, w, '*');
    } else {
      fill(out, w - 21, ' ');
      std::memcpy(out + (w - 21), "0.000000000000000E+00", 21);
    }
    return true;
  }
  std::uint64_t v;
  int p;
  if (!eighteen_digits(b, v, p)) return false;
  std::uint64_t d17 = v / 10;  // half up on D18 alone
  if (v % 10 >= 5 && ++d17 == ten17) {
    d17 = ten17 / 10;
    ++p;
  }
  constexpr std::uint64_t ten16 = ten17 / 10;
  std::uint64_t d16 = d17 / 10;  // half up on D17 alone
  if (d17 % 10 >= 5 && ++d16 == ten16) {
    d16 = ten16 / 10;
    ++p;
  }
  const int exponent = p - 1;
  const int mag = exponent < 0 ? -exponent : exponent;
  const int len = (b.negative ? 1 : 0) + 21;
  if (len > w) {
    fill(out, w, '*');
    return true;
  }
  const std::uint64_t first = eight_digits(static_cast<std::uint32_t>(d16 / 100000000u));
  const std::uint64_t second = eight_digits(static_cast<std::uint32_t>(d16 % 100000000u));
  fill(out, w - len, ' ');
  char* s = out + (w - len);
  if (b.negative) *s++ = '-';
  // d0 "." d1..d15: the second word's last byte lands where the exponent goes.
  const std::uint64_t one_to_eight = (first >> 8) | (second << 56);
  const std::uint64_t nine_on = second >> 8;
  s[0] = static_cast<char>(first & 0xff);
  s[1] = '.';
  std::memcpy(s + 2, &one_to_eight, 8);
  std::memcpy(s + 10, &nine_on, 8);
  s += 17;
  if (mag <= 99) {
    *s++ = 'E';
    *s++ = exponent < 0 ? '-' : '+';
  } else {
    *s++ = exponent < 0 ? '-' : '+';
    *s++ = static_cast<char>('0' + mag / 100);
  }
  std::memcpy(s, digit_pairs + 2 * (mag % 100), 2);
  return true;
}

}  // namespace

void edit_e(char* out, int w, int d, int k, double x) {
  if (d == 15 && k == 1 && decimal_source == decimal_form && edit_e15_scale1(out, w, x)) return;
  Decimal dec = decimal_source(x);
  if (dec.special != Special::none) return edit_special(out, w, dec.special);
  if (d < 0 || k > d + 1 || (k < 0 && k <= -d)) return fill(out, w, '*');

  const int before = k > 0 ? k : 0;
  const int lead_zeros = k < 0 ? -k : 0;
  const int after = k > 0 ? d - k + 1 : d + k;
  round_to(dec, std::min(before + after, 16));
  const bool zero = shows_zero(dec);
  const bool minus = dec.negative && !zero;
  const int exponent = zero ? 0 : dec.p - k;
  const int mag = exponent < 0 ? -exponent : exponent;
  if (mag > 999) return fill(out, w, '*');

  const int len = (minus ? 1 : 0) + before + 1 + lead_zeros + after + 4;
  if (len > w) return fill(out, w, '*');
  fill(out, w - len, ' ');
  char* s = out + (w - len);
  if (minus) *s++ = '-';
  DigitReader digits{dec};
  for (int i = 0; i < before; ++i) *s++ = digits.get();
  *s++ = '.';
  fill(s, lead_zeros, '0');
  s += lead_zeros;
  for (int i = 0; i < after; ++i) *s++ = digits.get();
  if (mag <= 99) {
    *s++ = 'E';
    *s++ = exponent < 0 ? '-' : '+';
  } else {
    *s++ = exponent < 0 ? '-' : '+';
    *s++ = static_cast<char>('0' + mag / 100);
  }
  *s++ = static_cast<char>('0' + mag / 10 % 10);
  *s = static_cast<char>('0' + mag % 10);
}

void edit_f(char* out, int w, int d, int k, double x) {
  Decimal dec = decimal_source(x);
  if (dec.special != Special::none) return edit_special(out, w, dec.special);
  if (d < 0) return fill(out, w, '*');

  const bool zero_value = shows_zero(dec);
  if (!zero_value) dec.p += k;
  if (!zero_value && dec.p < -d) {
    // Below a tenth of the last decimal: rounding could not reach it.
    dec.count = 0;
    dec.p = -d;
  } else {
    round_to(dec, std::min(zero_value ? d : dec.p + d, 16));
  }
  const bool minus = dec.negative && !shows_zero(dec);
  const int whole = dec.p > 0 ? dec.p : 0;
  const int len = (minus ? 1 : 0) + whole + 1 + d;
  if (len > w) return fill(out, w, '*');
  fill(out, w - len, ' ');
  char* s = out + (w - len);
  if (minus) *s++ = '-';
  DigitReader digits{dec};
  for (int i = 0; i < whole; ++i) *s++ = digits.get();
  *s++ = '.';
  for (int i = 0; i < d; ++i) *s++ = i < -dec.p ? '0' : digits.get();
}

void edit_i(char* out, int w, std::int32_t v) {
  char buf[12];
  char* end = buf + sizeof buf;
  char* s = end;
  std::int64_t mag = v < 0 ? -std::int64_t{v} : std::int64_t{v};
  do {
    *--s = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0);
  if (v < 0) *--s = '-';
  const int len = static_cast<int>(end - s);
  if (len > w) return fill(out, w, '*');
  fill(out, w - len, ' ');
  std::memcpy(out + (w - len), s, static_cast<std::size_t>(len));
}

}  // namespace rt
