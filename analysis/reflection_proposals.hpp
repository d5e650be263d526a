// Proposals for the toe and defect reflections of one record, for the
// engineer to accept or dismiss: nothing here changes a test point.
//
// The method is a matched filter against the record's own head pulse. The
// processed samples are brought to velocity (an accelerometer record without
// an integration in its chain is integrated once), the level before the blow
// is taken off, and the incident pulse around the head (the velocity peak)
// becomes the template. Sliding the template with its mean removed along the
// record gives at every sample the least-squares size of a head pulse there,
// relative to the incident one: +1 is an echo as large as the blow. A slow
// drift (the shaft soil's pull, an integrated offset) does not reach it, since
// the centred template is blind to constants and, being symmetric, nearly
// blind to straight slopes. The template's own response is taken off around
// the head and around the toe so that their side lobes are not read as
// defects.
//
// Toe: the strongest echo, of either sign (free or rock-like base), in the
// window that the pile length gives over a plausible wave speed range of the
// pile type, or ±8 % around the site's mean speed when that is known.
// Defects: echoes between head and toe, found one at a time (matching
// pursuit): the strongest is taken with its whole response, side lobes
// included, off the trace, until what is left lies below a threshold set by
// the record's noise. An echo of the incident's sign is an impedance
// reduction, of the opposite sign an increase. The opposite echo that follows
// within a pulse width and a few metres is the lower end of the same stretch,
// and a weaker echo of the same sign at a whole multiple of a defect's delay
// is its repeat: neither is another defect.
// Depths are those an accepted defect gets: below the marked head at the
// record's own wave speed (the site's mean when the record has none).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/test_point.hpp"

namespace tav {

enum class ReflectionKind { Reduction, Increase };

struct ProposedDefect {
    std::int32_t index = 0;  // sample index of the stretch's top
    float depth = 0.0f;      // m below the head
    ReflectionKind kind = ReflectionKind::Reduction;
    double confidence = 0.0;  // 0..1
};

struct ReflectionProposals {
    // Empty when the record could be read; otherwise why there is no proposal (UTF-8).
    std::string noProposal;
    std::int32_t headIndex = -1;
    std::optional<std::int32_t> toeIndex;
    double toeConfidence = 0.0;  // 0..1
    double waveSpeed = 0.0;      // m/s that the proposed toe gives with the pile length (else the record's)
    std::vector<ProposedDefect> defects;
};

struct ProposalOptions {
    // The site's mean speed for the pile type (site wave speed statistics); it
    // narrows the toe search to ±8 % around it.
    std::optional<double> siteSpeed;
};

// The speed range (m/s) searched for the toe of a pile type (an index into the
// pile type table; others get a range that holds every concrete pile).
std::pair<double, double> PileTypeSpeedRange(std::int32_t pileTypeIndex);

ReflectionProposals ProposeReflections(const TestPoint& tp, const ProposalOptions& options = {});

std::string_view ReflectionKindName(ReflectionKind kind);  // "reduction", "increase"

}  // namespace tav
