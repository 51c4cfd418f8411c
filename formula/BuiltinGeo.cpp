// The geographic functions: ConvertGeoCoordinate, Latitude, Longitude.

#include "formula/BuiltinSupport.h"
#include "formula/GeoCoordinates.h"

namespace formula
{

namespace
{

int Convert(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 3)
        return PARSEVAL_ARGUMENT_COUNT;
    if (!IsNumberType(a[0]->GetValueType()) || !IsNumberType(a[1]->GetValueType()))
        return Reject(check, r, VALUE_TEXT);
    r.SetType(VALUE_TEXT, 0);
    if (check)
        return PARSEVAL_OK;
    KString scratch;
    const auto system = GeoSystemOfName(TextOf(*a[2], formats, scratch));
    if (!system || !a[0]->IsDefinedAndValid() || !a[1]->IsDefinedAndValid())
        return r.SetUndefined(), PARSEVAL_OK;
    const auto text = WriteGeoPosition({a[0]->GetNumber(), a[1]->GetNumber()}, *system);
    if (!text)
        return r.SetUndefined(), PARSEVAL_OK;
    SetTextResult(r, *text);
    return PARSEVAL_OK;
}

template <bool latitude>
int Read(Args a, int n, CParsevalToken& r, bool check, const CFormatRegistry& formats)
{
    r.Text().clear();
    if (n != 2)
        return PARSEVAL_ARGUMENT_COUNT;
    r.SetType(VALUE_DOUBLE, -1);
    if (check)
        return PARSEVAL_OK;
    KString s1, s2;
    const auto system = GeoSystemOfName(TextOf(*a[1], formats, s2));
    if (!system || a[0]->IsUndefined())
        return r.SetUndefined(), PARSEVAL_OK;
    const auto position = ReadGeoPosition(TextOf(*a[0], formats, s1), *system);
    if (!position)
        return r.SetUndefined(), PARSEVAL_OK;
    SetNumberResult(r, latitude ? position->dLatitude : position->dLongitude);
    return PARSEVAL_OK;
}

} // namespace

void AppendGeographicFunctions(std::vector<SBuiltin>& out)
{
    const int g = kGroupGeographic;
    out.push_back(Function(u"ConvertGeoCoordinate", Convert, 2777, "convertgeocoordinate_.html", g,
                           u"ConvertGeoCoordinate(52.52, 13.405, \"dms\")", u"52\u00b031'12.00\"N 13\u00b024'18.00\"E"));
    out.push_back(Function(u"Latitude", Read<true>, 2779, "latitude_.html", g,
                           u"ROUND(Latitude(\"33U 391776 5820072\", \"utm\"), 3)", u"52.52"));
    out.push_back(Function(u"Longitude", Read<false>, 2783, "longitude_.html", g,
                           u"ROUND(Longitude(\"52\u00b031'12\\\"N 13\u00b024'18\\\"E\", \"gms\"), 3)", u"13.405"));
}

} // namespace formula
