// Conversions between WGS84 degrees and UTM, MGRS, degree-minute-second and Gauss-Krüger texts.

#include "formula/GeoCoordinates.h"

#include "engine/TextFold.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace formula
{

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

struct SEllipsoid
{
    double a; // semi-major axis in metres
    double f; // flattening
};
constexpr SEllipsoid kWgs84{6378137.0, 1 / 298.257223563};
constexpr SEllipsoid kBessel{6377397.155, 1 / 299.1528128};

struct STransverseMercator
{
    SEllipsoid ellipsoid;
    double k0;       // scale on the central meridian
    double lambda0;  // central meridian in radians
    double falseE;   // false easting
    double falseN;   // false northing
};

double MeridianArc(const SEllipsoid& el, double phi)
{
    const double e2 = el.f * (2 - el.f), e4 = e2 * e2, e6 = e4 * e2;
    return el.a * ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * phi -
                   (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * phi) +
                   (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * phi) - (35 * e6 / 3072) * std::sin(6 * phi));
}

void Forward(const STransverseMercator& tm, double lat, double lon, double& x, double& y)
{
    const SEllipsoid& el = tm.ellipsoid;
    const double e2 = el.f * (2 - el.f), ep2 = e2 / (1 - e2);
    const double phi = lat * kDeg, lambda = lon * kDeg;
    const double s = std::sin(phi), c = std::cos(phi), t = std::tan(phi);
    const double N = el.a / std::sqrt(1 - e2 * s * s);
    const double T = t * t, C = ep2 * c * c, A = (lambda - tm.lambda0) * c;
    x = tm.falseE + tm.k0 * N * (A + (1 - T + C) * A * A * A / 6 + (5 - 18 * T + T * T + 72 * C - 58 * ep2) * std::pow(A, 5) / 120);
    y = tm.falseN + tm.k0 * (MeridianArc(el, phi) +
                             N * t * (A * A / 2 + (5 - T + 9 * C + 4 * C * C) * std::pow(A, 4) / 24 +
                                      (61 - 58 * T + T * T + 600 * C - 330 * ep2) * std::pow(A, 6) / 720));
}

void Inverse(const STransverseMercator& tm, double x, double y, double& lat, double& lon)
{
    const SEllipsoid& el = tm.ellipsoid;
    const double e2 = el.f * (2 - el.f), e4 = e2 * e2, e6 = e4 * e2, ep2 = e2 / (1 - e2);
    const double M = (y - tm.falseN) / tm.k0;
    const double mu = M / (el.a * (1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256));
    const double e1 = (1 - std::sqrt(1 - e2)) / (1 + std::sqrt(1 - e2));
    const double phi1 = mu + (3 * e1 / 2 - 27 * std::pow(e1, 3) / 32) * std::sin(2 * mu) +
                        (21 * e1 * e1 / 16 - 55 * std::pow(e1, 4) / 32) * std::sin(4 * mu) +
                        (151 * std::pow(e1, 3) / 96) * std::sin(6 * mu) + (1097 * std::pow(e1, 4) / 512) * std::sin(8 * mu);
    const double s = std::sin(phi1), c = std::cos(phi1), t = std::tan(phi1);
    const double N1 = el.a / std::sqrt(1 - e2 * s * s);
    const double T1 = t * t, C1 = ep2 * c * c;
    const double R1 = el.a * (1 - e2) / std::pow(1 - e2 * s * s, 1.5);
    const double D = (x - tm.falseE) / (N1 * tm.k0);
    const double phi = phi1 - (N1 * t / R1) * (D * D / 2 - (5 + 3 * T1 + 10 * C1 - 4 * C1 * C1 - 9 * ep2) * std::pow(D, 4) / 24 +
                                               (61 + 90 * T1 + 298 * C1 + 45 * T1 * T1 - 252 * ep2 - 3 * C1 * C1) * std::pow(D, 6) / 720);
    const double lambda = tm.lambda0 + (D - (1 + 2 * T1 + C1) * std::pow(D, 3) / 6 +
                                        (5 - 2 * C1 + 28 * T1 - 3 * C1 * C1 + 8 * ep2 + 24 * T1 * T1) * std::pow(D, 5) / 120) / c;
    lat = phi / kDeg;
    lon = lambda / kDeg;
}

// ---- datum shift WGS84 <-> DHDN (seven-parameter Helmert, small angles) ----

void ToCartesian(const SEllipsoid& el, double lat, double lon, double& X, double& Y, double& Z)
{
    const double e2 = el.f * (2 - el.f);
    const double phi = lat * kDeg, lambda = lon * kDeg;
    const double N = el.a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    X = N * std::cos(phi) * std::cos(lambda);
    Y = N * std::cos(phi) * std::sin(lambda);
    Z = N * (1 - e2) * std::sin(phi);
}

void FromCartesian(const SEllipsoid& el, double X, double Y, double Z, double& lat, double& lon)
{
    const double e2 = el.f * (2 - el.f);
    const double p = std::sqrt(X * X + Y * Y);
    double phi = std::atan2(Z, p * (1 - e2));
    for (int i = 0; i < 10; ++i)
    {
        const double N = el.a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
        const double h = p / std::cos(phi) - N;
        phi = std::atan2(Z, p * (1 - e2 * N / (N + h)));
    }
    lat = phi / kDeg;
    lon = std::atan2(Y, X) / kDeg;
}

// direction +1: WGS84 -> DHDN, -1: back.
void ShiftDatum(double& lat, double& lon, int direction)
{
    const SEllipsoid& from = direction > 0 ? kWgs84 : kBessel;
    const SEllipsoid& to = direction > 0 ? kBessel : kWgs84;
    double X, Y, Z;
    ToCartesian(from, lat, lon, X, Y, Z);
    // DHDN -> WGS84: translation in metres, rotations in arc seconds, scale in ppm
    const double sec = kDeg / 3600;
    const double d = direction > 0 ? -1.0 : 1.0;
    const double tx = d * 598.1, ty = d * 73.7, tz = d * 418.2;
    const double rx = d * 0.202 * sec, ry = d * 0.045 * sec, rz = d * -2.455 * sec, m = 1 + d * 6.7e-6;
    const double X2 = tx + m * (X - rz * Y + ry * Z);
    const double Y2 = ty + m * (rz * X + Y - rx * Z);
    const double Z2 = tz + m * (-ry * X + rx * Y + Z);
    FromCartesian(to, X2, Y2, Z2, lat, lon);
}

const char* const kBands = "CDEFGHJKLMNPQRSTUVWX";

STransverseMercator UtmZone(int zone, bool south)
{
    return {kWgs84, 0.9996, (zone * 6 - 183) * kDeg, 500000, south ? 10000000.0 : 0.0};
}

KString Ascii(const std::string& s)
{
    return KString(s.begin(), s.end());
}

// The numbers and letters of a text, in order ("33U 391776 5820072" -> 33, U, 391776, 5820072).
struct SPiece
{
    bool bNumber;
    double dNumber;
    std::string strText; // the digits as written, or the letters (upper case)
};

std::vector<SPiece> Pieces(KStringView text)
{
    std::vector<SPiece> out;
    size_t i = 0;
    while (i < text.size())
    {
        const char16_t c = text[i];
        if ((c >= u'0' && c <= u'9') || c == u'.' || ((c == u'-' || c == u'+') && i + 1 < text.size() &&
                                                      text[i + 1] >= u'0' && text[i + 1] <= u'9'))
        {
            std::string run;
            run += static_cast<char>(c);
            ++i;
            while (i < text.size() && ((text[i] >= u'0' && text[i] <= u'9') || text[i] == u'.' || text[i] == u','))
                run += text[i] == u',' ? '.' : static_cast<char>(text[i]), ++i;
            char* end = nullptr;
            const double v = std::strtod(run.c_str(), &end);
            if (!end || *end)
                return {};
            out.push_back({true, v, run});
            continue;
        }
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        {
            std::string run;
            while (i < text.size() && ((text[i] >= u'A' && text[i] <= u'Z') || (text[i] >= u'a' && text[i] <= u'z')))
                run += static_cast<char>(std::toupper(static_cast<int>(text[i]))), ++i;
            out.push_back({false, 0, run});
            continue;
        }
        ++i; // blanks, degree signs, quotes
    }
    return out;
}

std::optional<KString> WriteUtm(double lat, double lon, bool grid)
{
    if (lat < -80 || lat > 84 || lon < -180 || lon > 180)
        return std::nullopt;
    int zone = static_cast<int>(std::floor((lon + 180) / 6)) + 1;
    if (zone > 60)
        zone = 60;
    const char band = kBands[std::min(19, static_cast<int>(std::floor((lat + 80) / 8)))];
    double x = 0, y = 0;
    Forward(UtmZone(zone, lat < 0), lat, lon, x, y);
    const long e = static_cast<long>(std::floor(x + 0.5)), n = static_cast<long>(std::floor(y + 0.5));
    char buffer[80];
    if (!grid)
    {
        std::snprintf(buffer, sizeof buffer, "%d%c %ld %ld", zone, band, e, n);
        return Ascii(buffer);
    }
    static const char* const kColumns[3] = {"STUVWXYZ", "ABCDEFGH", "JKLMNPQR"};
    static const char* const kRows = "ABCDEFGHJKLMNPQRSTUV";
    const long col = e / 100000;
    if (col < 1 || col > 8)
        return std::nullopt;
    const char column = kColumns[zone % 3][col - 1];
    const char row = kRows[((n / 100000) % 20 + (zone % 2 == 0 ? 5 : 0)) % 20];
    std::snprintf(buffer, sizeof buffer, "%d%c %c%c %05ld %05ld", zone, band, column, row, e % 100000, n % 100000);
    return Ascii(buffer);
}

std::optional<SGeoPosition> ReadUtm(KStringView text, bool grid)
{
    const std::vector<SPiece> p = Pieces(text);
    // zone, band letter(s) [, grid letters], easting, northing
    if (p.size() < 3 || !p[0].bNumber || p[1].bNumber)
        return std::nullopt;
    const int zone = static_cast<int>(p[0].dNumber);
    if (zone < 1 || zone > 60 || p[0].dNumber != zone)
        return std::nullopt;
    std::string letters = p[1].strText;
    size_t next = 2;
    if (grid && letters.size() == 1 && p.size() > 2 && !p[2].bNumber)
        letters += p[2].strText, next = 3;
    const char band = letters[0];
    const char* at = std::strchr(kBands, band);
    if (!at || band == 0)
        return std::nullopt;
    const bool south = band < 'N';
    double e = 0, n = 0;
    if (!grid)
    {
        if (letters.size() != 1 || p.size() != next + 2 || !p[next].bNumber || !p[next + 1].bNumber)
            return std::nullopt;
        e = p[next].dNumber, n = p[next + 1].dNumber;
    }
    else
    {
        if (letters.size() != 3)
            return std::nullopt;
        std::string digits;
        for (size_t k = next; k < p.size(); ++k)
        {
            if (!p[k].bNumber)
                return std::nullopt;
            digits += p[k].strText;
        }
        if (digits.empty() || digits.size() % 2 != 0 || digits.size() > 10)
            return std::nullopt;
        const size_t half = digits.size() / 2;
        const double scale = std::pow(10.0, 5 - static_cast<double>(half));
        static const char* const kColumns[3] = {"STUVWXYZ", "ABCDEFGH", "JKLMNPQR"};
        static const char* const kRows = "ABCDEFGHJKLMNPQRSTUV";
        const char* col = std::strchr(kColumns[zone % 3], letters[1]);
        const char* row = std::strchr(kRows, letters[2]);
        if (!col || !row)
            return std::nullopt;
        e = (col - kColumns[zone % 3] + 1) * 100000.0 + std::stod(digits.substr(0, half)) * scale;
        const int rowIndex = static_cast<int>((row - kRows) - (zone % 2 == 0 ? 5 : 0) + 20) % 20;
        double north = rowIndex * 100000.0 + std::stod(digits.substr(half)) * scale;
        // the band's lowest latitude decides the 2000 km cycle
        const double bandLat = -80 + (at - kBands) * 8.0;
        double x0 = 0, y0 = 0;
        Forward(UtmZone(zone, south), bandLat, zone * 6 - 183, x0, y0);
        while (north < y0 - 100000)
            north += 2000000;
        n = north;
    }
    SGeoPosition pos;
    Inverse(UtmZone(zone, south), e, n, pos.dLatitude, pos.dLongitude);
    if (!std::isfinite(pos.dLatitude) || !std::isfinite(pos.dLongitude))
        return std::nullopt;
    return pos;
}

KString WriteDmsPart(double value, char positive, char negative)
{
    const char hemisphere = value < 0 ? negative : positive;
    double v = std::fabs(value);
    long hundredths = static_cast<long>(std::floor(v * 360000 + 0.5));
    const long degrees = hundredths / 360000;
    hundredths %= 360000;
    const long minutes = hundredths / 6000;
    hundredths %= 6000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%ld\xC2\xB0%02ld'%02ld.%02ld\"%c", degrees, minutes, hundredths / 100,
                  hundredths % 100, hemisphere);
    std::string s(buffer);
    KString out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        if (static_cast<unsigned char>(s[i]) == 0xC2)
            out += u'\u00B0', ++i;
        else
            out += static_cast<char16_t>(s[i]);
    }
    return out;
}

std::optional<SGeoPosition> ReadDms(KStringView text)
{
    // groups of up to three numbers (degrees, minutes, seconds), each with a hemisphere letter before or after
    const std::vector<SPiece> p = Pieces(text);
    double values[2] = {NAN, NAN};
    std::vector<double> numbers;
    std::string pending; // a hemisphere letter written before its numbers
    auto close = [&](const std::string& letter) -> bool
    {
        if (numbers.empty() || numbers.size() > 3)
            return false;
        double v = 0, scale = 1;
        for (size_t i = 0; i < numbers.size(); ++i)
        {
            if (numbers[i] < 0 || (i > 0 && numbers[i] >= 60))
                return false;
            v += numbers[i] * scale, scale /= 60;
        }
        const bool latitude = letter == "N" || letter == "S";
        const int sign = letter == "S" || letter == "W" ? -1 : 1;
        if (!std::isnan(values[latitude ? 0 : 1]))
            return false;
        values[latitude ? 0 : 1] = sign * v;
        numbers.clear();
        return true;
    };
    for (const SPiece& piece : p)
    {
        if (piece.bNumber)
        {
            numbers.push_back(piece.dNumber);
            continue;
        }
        const std::string& l = piece.strText;
        if (l != "N" && l != "S" && l != "E" && l != "W" && l != "O")
            return std::nullopt;
        if (numbers.empty())
        {
            if (!pending.empty())
                return std::nullopt;
            pending = l;
        }
        else if (!pending.empty())
        {
            if (!close(pending))
                return std::nullopt;
            pending = l;
        }
        else if (!close(l))
            return std::nullopt;
    }
    if (!pending.empty() && !close(pending))
        return std::nullopt;
    if (!numbers.empty() || std::isnan(values[0]) || std::isnan(values[1]) || std::fabs(values[0]) > 90 ||
        std::fabs(values[1]) > 180)
        return std::nullopt;
    return SGeoPosition{values[0], values[1]};
}

std::optional<KString> WriteGaussKrueger(double lat, double lon)
{
    if (lat < -80 || lat > 84 || lon < -180 || lon > 180)
        return std::nullopt;
    ShiftDatum(lat, lon, 1);
    const int zone = static_cast<int>(std::floor((lon + 1.5) / 3));
    if (zone < 1 || zone > 119)
        return std::nullopt;
    double x = 0, y = 0;
    Forward({kBessel, 1.0, zone * 3 * kDeg, zone * 1000000.0 + 500000, 0}, lat, lon, x, y);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f %.0f", std::floor(x + 0.5), std::floor(y + 0.5));
    return Ascii(buffer);
}

std::optional<SGeoPosition> ReadGaussKrueger(KStringView text)
{
    std::vector<SPiece> p = Pieces(text);
    // "R 4595420 H 5821730" or "4595420 5821730"
    std::vector<double> numbers;
    for (const SPiece& piece : p)
    {
        if (piece.bNumber)
            numbers.push_back(piece.dNumber);
        else if (piece.strText != "R" && piece.strText != "H")
            return std::nullopt;
    }
    if (numbers.size() != 2)
        return std::nullopt;
    const double right = numbers[0], high = numbers[1];
    const int zone = static_cast<int>(std::floor(right / 1000000));
    if (zone < 1 || zone > 119 || high <= 0)
        return std::nullopt;
    SGeoPosition pos;
    Inverse({kBessel, 1.0, zone * 3 * kDeg, zone * 1000000.0 + 500000, 0}, right, high, pos.dLatitude, pos.dLongitude);
    if (!std::isfinite(pos.dLatitude) || !std::isfinite(pos.dLongitude))
        return std::nullopt;
    ShiftDatum(pos.dLatitude, pos.dLongitude, -1);
    return pos;
}

} // namespace

std::optional<EGeoSystem> GeoSystemOfName(KStringView name)
{
    if (text::EqualsIgnoreCase(name, u"utm"))
        return EGeoSystem::Utm;
    if (text::EqualsIgnoreCase(name, u"utmref") || text::EqualsIgnoreCase(name, u"utmmgrs"))
        return EGeoSystem::Mgrs;
    if (text::EqualsIgnoreCase(name, u"dms") || text::EqualsIgnoreCase(name, u"gms"))
        return EGeoSystem::Dms;
    if (text::EqualsIgnoreCase(name, u"gk") || text::EqualsIgnoreCase(name, u"gauss-krueger"))
        return EGeoSystem::GaussKrueger;
    return std::nullopt;
}

std::optional<KString> WriteGeoPosition(const SGeoPosition& position, EGeoSystem system)
{
    const double lat = position.dLatitude, lon = position.dLongitude;
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180)
        return std::nullopt;
    switch (system)
    {
    case EGeoSystem::Utm:
        return WriteUtm(lat, lon, false);
    case EGeoSystem::Mgrs:
        return WriteUtm(lat, lon, true);
    case EGeoSystem::Dms:
        return WriteDmsPart(lat, 'N', 'S') + u" " + WriteDmsPart(lon, 'E', 'W');
    case EGeoSystem::GaussKrueger:
        return WriteGaussKrueger(lat, lon);
    }
    return std::nullopt;
}

std::optional<SGeoPosition> ReadGeoPosition(KStringView text, EGeoSystem system)
{
    switch (system)
    {
    case EGeoSystem::Utm:
        return ReadUtm(text, false);
    case EGeoSystem::Mgrs:
        return ReadUtm(text, true);
    case EGeoSystem::Dms:
        return ReadDms(text);
    case EGeoSystem::GaussKrueger:
        return ReadGaussKrueger(text);
    }
    return std::nullopt;
}

} // namespace formula
