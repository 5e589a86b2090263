#pragma once

// Every rule the evidence check judges by, in one place: how strongly each
// kind of evidence tells of a copy, the limits of what counts, and the
// points for which drawing was the source. The score of a pair joins the
// strengths of its signals as independent signs:
//   score = 100 * (1 - product over signals of (1 - strength)).

#include <cstddef>

namespace veldra::evidence::rules {

// Identity and creation.
inline constexpr double kSameVersion = 0.99;          // one file, not even saved since (VERSIONGUID)
inline constexpr double kSameIdentity = 0.95;         // one file became the other (FINGERPRINTGUID)
inline constexpr double kSameInstant = 0.90;          // created at the same millisecond, no identity to tell
inline constexpr double kSameInstantOtherIds = 0.40;  // the same millisecond, though identities differ

// People and time.
inline constexpr double kNameRare = 0.25;    // a name only these two drawings carry
inline constexpr double kNameShared = 0.10;  // a name a few drawings carry
inline constexpr double kSameEditing = 0.20; // equal total editing time

// Shared work (shapes and texts, places, handles): the share of the lighter
// drawing's rare weight that the other holds too, beyond what a drawing of
// the class holds by chance, ramped between these two shares...
inline constexpr double kShareFrom = 0.25, kShareTo = 0.65;
// ...and trusted fully only from a shared weight of this many features that
// no third drawing has.
inline constexpr double kEnoughShared = 4.0;
// However small a share of the lighter drawing it is, shared rare work of
// this weight (in features no third drawing has) is a paste of part of a
// drawing beside the copier's own: ramped from the first to the second.
inline constexpr double kCountFrom = 8.0, kCountTo = 20.0;
// Shared work with round measures (typed numbers, see fingerprint.h) is
// what two students given the same numbers draw alike, where the class's
// numbers vary (variants of an exercise, numbers of one's own): there it
// counts alone for this part of its weight, and fully once shared work
// drawn freely weighs this many features no third drawing has. Where the
// whole class draws from one set of numbers, what is rare and typed is a
// student's own slip or stray line, and counts fully.
inline constexpr double kTypedAlone = 0.25;
inline constexpr double kFreelyDrawnToTrust = 1.0;
// Choices made freely that two drawings share (chance.h) are a sign of
// their own, up to this strength, where they tell (SharedChoices::tells).
inline constexpr double kFreelyDrawn = 0.75;
// Shared work drawn freely of this weight (in features no third drawing
// has) lets laying tell where the rest lies.
inline constexpr double kFreelyDrawnFrom = 1.0;
// The class's numbers are variants when, in the middle drawing, of its
// typed shapes beyond the template that most of the class does not draw,
// this share is drawn by two other drawings at least: not at all from the
// first, fully from the second. Below, numbers are each student's own (a
// value now and then alike, the rest in no third drawing) or one set for
// all; drawings with fewer such typed shapes do not tell, and where fewer
// than this share of the drawings tell, the class draws one set of numbers
// (a few students' extra view of their own is no variant handed out).
inline constexpr double kTypedNumbersVaryFrom = 0.75, kTypedNumbersVaryTo = 0.9;
inline constexpr double kTypedShapesToTell = 3;
inline constexpr double kDrawingsTellingVariants = 0.25;
// Numbers of one's own recur now and then (a corner radius, a bolt circle
// two students chose alike): so measured, from this share up to
// kTypedNumbersVaryFrom. Below, what most of the class does not draw is each
// drawing's own stray lines and slips beside one set of numbers.
inline constexpr double kOwnNumbersRecurFrom = 0.2;
// A paste that is found turned, mirrored or scaled onto the other drawing
// maps at least this many rare shapes.
inline constexpr int kPlacedAtLeast = 4;
// Where each student chose numbers of their own, typed work alone that lies
// whole on the other drawing (kTypedLaidWhole) is a part pasted from this
// many rare pieces laid alike: two honest students' numbers are now and then
// alike, and a few pieces of them then lie alike too.
inline constexpr int kOwnNumbersLaidAtLeast = 8;
// Two drawings that share only typed work (nothing drawn freely) and whose
// rare lines, arcs, circles and texts, laid onto one another, lie alike for
// less than this share are two students who drew the same numbers their
// own way (the same outline, other holes; a symmetric outline lies on the
// other turned, and brings half of the rest along by chance): their typed
// work counts as in a class of variants (kTypedAlone), however the class
// types its numbers.
inline constexpr double kTypedLaidWhole = 0.6;
// A paste brings along, in their places beside the typed work, pieces that
// no typed number puts there: a construction line to a clicked point. Where, laid onto one another, at least this
// many such pieces lie on the same ones, among at least kPlacedAtLeast rare
// pieces and most of all (kTypedLaidWhole), the shared typed work counts
// fully, however the class types its numbers: two students' own drawings of
// the same numbers do not put their own pieces in one place.
inline constexpr int kFreelyLaidAtLeast = 1;
// A pair that shares no more than such pieces is laid onto one another when
// they are at least this share of the rare shapes and words of the lighter
// drawing: among thousands drawn freely, one alike is chance, and laying
// costs as much as reading.
inline constexpr double kFreelyLaidShare = 0.05;
// Such a part, lying whole on the other drawing, is a paste: a sign of the
// first strength from kPlacedAtLeast pieces laid alike, up to the second
// from twice as many. So is typed work lying whole beside shared work placed
// freely (a note by the same neighbours in both) that weighs at least
// kFreelyDrawnFrom times a rare feature.
inline constexpr double kLaidWholeFrom = 0.6, kLaidWhole = 0.85;

// What most of the class has weighs nothing as shared work: more than half
// the drawings, and at least this many. It never cancels identity evidence.
inline constexpr std::size_t kMostOfClassAtLeast = 3;
// A place laid by typed numbers (a piece beside its neighbour, as the
// exercise's numbers put them) weighs something only when few drawings have
// it: more than this share of the class (and more than two drawings) is a
// way of drawing the sheet that many chose, not a copy's trace. A place
// drawn freely (a text where the student clicked) weighs by its rarity as a
// shape does: a group of four copies in a class of thirty shares it.
inline constexpr double kPlaceCommonShare = 0.125;
// Without a template named (or readable), the template is what drawings
// were started from: an entity under the same handle with the same shape,
// among each drawing's lowest handles, in at least this many drawings and
// more than this share of the class. A handle is handed out once, in the
// order entities are drawn: students who draw the same entity under the
// same handle started from one file, or one copied the other's file; a
// copied file's identity tells the copy however many share it.
inline constexpr std::size_t kStartedAlikeAtLeast = 3;
inline constexpr double kStartedAlikeShare = 0.125;
// A file drawings started from holds at least this many entities that the
// very same drawings hold so: one or two a class draws first, in the same
// order, are no template.
inline constexpr std::size_t kStartedAlikeEntities = 3;
// With no third drawing to tell what drawings of the exercise share by
// chance, this share is taken as chance.
inline constexpr double kChanceWithoutClass = 0.9;

// A drawing this many times the weight of the class's mean drawing is told
// to hold what it shares by its size (pair_judgement.h, byVolume).
inline constexpr double kSizeTold = 5.0;

// Verdicts below the teacher's thresholds: a score from which a pair is worth
// a look (a coincidence explained), and an overlap a naive look would flag.
inline constexpr int kNotable = 20;
inline constexpr double kLooksAlike = 0.5;

// Finding pairs: what a pair could reach before it is judged at all.
inline constexpr double kProposeStrength = 0.15;
// Drawings sharing a creation second or a name are judged pair by pair up to
// this many; an identity shared by more is judged against its first drawing.
inline constexpr std::size_t kLargestGroupPaired = 64;

// Direction: points for "this drawing is the source"; a lead of
// kDirectionLead decides.
inline constexpr int kEarlierProject = 3;   // handed in for an earlier project
inline constexpr int kCreatedEarlier = 2;   // created at least a minute earlier
inline constexpr int kMoreEditing = 2;      // holds far more editing time
inline constexpr int kSavedEarlier = 1;     // last saved at least a minute earlier
inline constexpr int kNamedAsAuthor = 3;    // the other drawing names its student as author
inline constexpr int kDirectionLead = 2;

// Listing coincidences. A class of more drawings than this lists of the
// pairs judged coincidences only the strongest few of each drawing: where
// hundreds of students press New in one lab, the pairs that share a
// creation second grow with the square of the class, each explained and
// none a copy. Copies and likely copies are always listed. Well above a
// course's class, and above the classes the judgement is tried on (2,000
// drawings at most), which list every coincidence.
inline constexpr std::size_t kCoincidencesAllListedUpTo = 4096;
// How many coincidences a drawing of such a class is listed in at most:
// taken strongest first over the whole class, each while both its drawings
// have room.
inline constexpr int kCoincidencesPerDrawing = 5;

}  // namespace veldra::evidence::rules
