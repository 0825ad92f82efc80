#include "reports/reportmodel.h"

#include <stdexcept>

namespace kw::reports {

Element &Band::add(ElementKind k, int x, int y)
{
    auto e = std::make_unique<Element>();
    e->kind = k;
    e->x = x;
    e->y = y;
    m_elements.push_back(std::move(e));
    return *m_elements.back();
}

Element &Band::addLabel(int x, int y, const QString &caption)
{
    Element &e = add(ElementKind::Label, x, y);
    e.caption = caption;
    return e;
}

Element &Band::addData(int x, int y, kw::data::Dataset &ds, const QString &field)
{
    Element &e = add(ElementKind::DataText, x, y);
    e.dataset = &ds;
    e.fieldName = field;
    return e;
}

Element &Band::addSystem(int x, int y, SystemData what, const QString &prefix)
{
    Element &e = add(ElementKind::SystemText, x, y);
    e.system = what;
    e.caption = prefix;
    return e;
}

Element &Band::addRule(int x, int y, int width, int height)
{
    Element &e = add(ElementKind::Rule, x, y);
    e.autoSize = false;
    e.width = width;
    e.height = height;
    return e;
}

Element *Band::element(const QString &name) const
{
    for (const auto &e : m_elements)
        if (e->name == name)
            return e.get();
    return nullptr;
}

Report::~Report() = default;

Band &Report::addBand(BandKind kind, int height)
{
    m_bands.push_back(std::make_unique<Band>(kind, height));
    return *m_bands.back();
}

Band *Report::band(BandKind kind) const
{
    for (const auto &b : m_bands)
        if (b->kind == kind)
            return b.get();
    return nullptr;
}

Element *Report::element(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const auto &b : m_bands)
        if (Element *e = b->element(name))
            return e;
    return nullptr;
}

Element &Report::elementByName(const QString &name) const
{
    if (Element *e = element(name))
        return *e;
    throw std::logic_error("report has no element " + name.toStdString());
}

} // namespace kw::reports
