#include "log/ParsedPart.h"

namespace kelvane {

std::uint32_t ParsedPart::SiteFor(std::string_view name, std::string_view path) {
    // Consecutive headers often name the same site.
    if (!sites_.empty() && SiteNameEqual{}(sites_[lastSite_].name, name)) return lastSite_;

    const std::uint64_t hash = SiteNameHash{}(name);
    if ((sites_.size() + 1) * 2 > slots_.size()) GrowSlots();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
        const std::uint32_t k = slots_[i] - 1;
        if (sites_[k].hash == hash && SiteNameEqual{}(sites_[k].name, name)) {
            lastSite_ = k;
            return k;
        }
    }
    const auto k = static_cast<std::uint32_t>(sites_.size());
    sites_.push_back(Site{std::string(name), std::string(path), hash, 0, 0});
    slots_[i] = k + 1;
    lastSite_ = k;
    return k;
}

void ParsedPart::GrowSlots() {
    slots_.assign(slots_.empty() ? 256 : slots_.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = 0; k < sites_.size(); ++k) {
        std::size_t i = static_cast<std::size_t>(sites_[k].hash) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = static_cast<std::uint32_t>(k + 1);
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
    groupedEvents_.resize(events_.size());
    for (const Event& e : events_) groupedEvents_[next[e.site]++] = e;
    grouped_ = true;
}

void ParsedPart::TakeInto(TAlSiteList& sites) {
    Group();
    const TAlConn* conn = groupedConns_.data();
    const Event* event = groupedEvents_.data();
    for (const Site& s : sites_) {
        TAlSite& site = *sites.AddSite(s.name, s.path);
        site.AppendConns(conn, s.attempts);
        conn += s.attempts;
        for (const Event* end = event + s.events; event != end; ++event) {
            if (event->trip) {
                site.AddUnitTrip(event->unit, event->bits, event->time);
            } else {
                site.AddUnitAlarm(event->unit, event->bits, event->time);
            }
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
    groupedEvents_.clear();
    grouped_ = false;
}

}  // namespace kelvane
