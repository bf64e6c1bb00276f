#include "log/ParsedPart.h"

#include <tuple>

namespace kelvane {

std::uint32_t ParsedPart::SiteFor(std::string_view name, std::string_view path) {
    // Consecutive headers often name the same site.
    if (!sites_.empty() && SiteNameEqual{}(sites_[lastSite_].name, name)) return lastSite_;

    const std::uint64_t hash = SiteNameHash{}(name);
    if ((sites_.size() + 1) * 2 > slots_.size()) GrowSlots();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (; slots_[i].site != 0; i = (i + 1) & mask) {
        if (slots_[i].tag != tag) continue;
        const std::uint32_t k = slots_[i].site - 1;
        if (sites_[k].hash == hash && SiteNameEqual{}(sites_[k].name, name)) {
            lastSite_ = k;
            return k;
        }
    }
    const auto k = static_cast<std::uint32_t>(sites_.size());
    sites_.push_back(Site{std::string(name), std::string(path), hash, 0, 0});
    slots_[i] = Slot{tag, k + 1};
    lastSite_ = k;
    return k;
}

void ParsedPart::GrowSlots() {
    slots_.assign(slots_.empty() ? 256 : slots_.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = 0; k < sites_.size(); ++k) {
        std::size_t i = static_cast<std::size_t>(sites_[k].hash) & mask;
        while (slots_[i].site != 0) i = (i + 1) & mask;
        slots_[i] = Slot{static_cast<std::uint32_t>(sites_[k].hash >> 32), static_cast<std::uint32_t>(k + 1)};
    }
}

void ParsedPart::AddAttempt(std::uint32_t site, TDateTime time) {
    attempts_.push_back(Attempt{TAlConn(time), site});
    ++sites_[site].attempts;
    grouped_ = false;
}

void ParsedPart::AddEvent(std::int32_t unit, std::uint32_t bits, bool trip) {
    const Attempt& current = attempts_.back();
    events_.push_back(Event{current.conn.Time, current.site, unit, bits, trip});
    ++sites_[current.site].events;
    grouped_ = false;
}

void ParsedPart::Group() {
    if (grouped_) return;
    // A counting sort: each site's records go to its own stretch, in line order.
    std::vector<std::uint32_t> next(sites_.size());
    std::uint32_t at = 0;
    for (std::size_t k = 0; k < sites_.size(); ++k) {
        next[k] = at;
        at += sites_[k].attempts;
    }
    groupedConns_.resize(attempts_.size());
    for (const Attempt& a : attempts_) groupedConns_[next[a.site]++] = a.conn;

    at = 0;
    for (std::size_t k = 0; k < sites_.size(); ++k) {
        next[k] = at;
        at += sites_[k].events;
    }
    bySite_.resize(events_.size());
    for (const Event& e : events_) bySite_[next[e.site]++] = e;

    // Within each site, events by unit and kind (keeping line order), so that each unit is
    // looked up once and its events go to it together. An event at the time of the one before
    // joins it, as it would on arrival.
    runs_.clear();
    groupedEvents_.clear();
    const auto byUnit = [](const Event& a, const Event& b) { return std::tie(a.unit, a.trip) < std::tie(b.unit, b.trip); };
    auto first = bySite_.begin();
    for (Site& site : sites_) {
        const auto last = first + site.events;
        // A site has few events in a part: an insertion sort, which keeps line order.
        for (auto e = first + (first != last); e < last; ++e) {
            if (!byUnit(*e, *(e - 1))) continue;
            const Event moving = *e;
            auto to = e;
            do {
                *to = *(to - 1);
                --to;
            } while (to != first && byUnit(moving, *(to - 1)));
            *to = moving;
        }
        site.runs = 0;
        for (auto e = first; e != last; ++e) {
            if (e == first || byUnit(*(e - 1), *e)) {
                runs_.push_back(Run{e->unit, e->trip, static_cast<std::uint32_t>(groupedEvents_.size()), 0});
                ++site.runs;
            } else if (groupedEvents_.back().Time == e->time) {
                groupedEvents_.back().Bits |= e->bits;
                continue;
            }
            groupedEvents_.emplace_back(e->time, e->bits);
            ++runs_.back().count;
        }
        first = last;
    }
    grouped_ = true;
}

void ParsedPart::TakeInto(TAlSiteList& sites) {
    Group();
    const TAlConn* conn = groupedConns_.data();
    const Run* run = runs_.data();
    for (const Site& s : sites_) {
        TAlSite& site = *sites.AddSite(s.name, s.path);
        site.AppendConns(conn, s.attempts);
        conn += s.attempts;
        for (const Run* end = run + s.runs; run != end; ++run) {
            site.AddUnitEvents(run->unit, run->trip, groupedEvents_.data() + run->start, run->count);
        }
    }
    Clear();
}

void ParsedPart::Clear() {
    sites_.clear();
    slots_.clear();
    lastSite_ = 0;
    attempts_.clear();
    events_.clear();
    groupedConns_.clear();
    bySite_.clear();
    runs_.clear();
    groupedEvents_.clear();
    grouped_ = false;
}

}  // namespace kelvane
