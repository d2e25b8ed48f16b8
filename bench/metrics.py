"""Accuracy against ground truth: character error rate over whitespace-
normalized text (order matters), recall of the truth's English words (a
multiset), and counts of the recognizer's failure classes.

Words are whitespace-separated tokens compared exactly. "English" words are
the ASCII ones with a letter or digit (a lone `$` or `/` is left to the CER);
words with other letters are counted under other languages."""

from collections import Counter

CLASSES = ["reading order", "lost blocks", "frames read as text", "glyph faults", "other languages"]
FRAME_CHARS = set("|[]{}()<>_-=+~^*#@®©°•·.,:;'\"`/\\!")


def normalize(text):
    return " ".join(text.split())


def edit_distance(a, b):
    """Levenshtein distance, bit-parallel over `a` (Myers 1999, Hyyrö's form)."""
    if not a:
        return len(b)
    masks = {}
    for i, c in enumerate(a):
        masks[c] = masks.get(c, 0) | (1 << i)
    full = (1 << len(a)) - 1
    high = 1 << (len(a) - 1)
    pv, mv, score = full, 0, len(a)
    for c in b:
        eq = masks.get(c, 0)
        xv = eq | mv
        xh = ((((eq & pv) + pv) & full) ^ pv) | eq
        ph = (mv | ~(xh | pv)) & full
        mh = pv & xh
        if ph & high:
            score += 1
        elif mh & high:
            score -= 1
        ph = ((ph << 1) | 1) & full
        mh = (mh << 1) & full
        pv = (mh | ~(xv | ph)) & full
        mv = ph & xv
    return score


def common_subsequence(a, b):
    """Length of the longest common subsequence of two token lists, bit-parallel (Allison-Dix)."""
    if not a or not b:
        return 0
    masks = {}
    for i, x in enumerate(a):
        masks[x] = masks.get(x, 0) | (1 << i)
    full = (1 << len(a)) - 1
    v = full
    for y in b:
        u = v & masks.get(y, 0)
        v = ((v + u) | (v - u)) & full
    return len(a) - bin(v).count("1")


def character_error_rate(truth, found):
    truth, found = normalize(truth), normalize(found)
    return edit_distance(truth, found) / max(1, len(truth))


def is_english(word):
    return word.isascii() and any(c.isalnum() for c in word)


def found_count(wanted, got):
    """How many of the `wanted` tokens (a multiset) appear in `got` (a Counter)."""
    return sum(min(n, got[w]) for w, n in Counter(wanted).items())


def word_recall(truth, found):
    wanted = [w for w in truth.split() if is_english(w)]
    return found_count(wanted, Counter(found.split())) / max(1, len(wanted))


def is_frame(token):
    """A token a border, box, toggle or icon makes: no letters or digits, or a
    short token with a bracket or bar in it."""
    if not any(c.isalnum() for c in token):
        return True
    return len(token) <= 3 and any(c in "|[]{}" for c in token)


def failure_counts(truth, found, tags):
    """Per class, how many truth words (or stray words) show that failure.
    Classes overlap: a lost heading word that holds an `i` counts twice."""
    truth_words, found_words = truth.split(), found.split()
    got = Counter(found_words)
    present = found_count(truth_words, got)
    frames_expected = Counter(w for w in truth_words if is_frame(w))
    in_truth = Counter(truth_words)
    lost = list((Counter(tags.get("lost", [])) & in_truth).elements())
    glyph = list(((Counter(tags.get("glyph", [])) | Counter(w for w in truth_words if "_" in w)) & in_truth).elements())
    foreign = [w for w in truth_words if not w.isascii() and any(c.isalpha() for c in w)]
    return {
        # found somewhere, but not where the truth's order puts them
        "reading order": present - common_subsequence(truth_words, found_words),
        "lost blocks": len(lost) - found_count(lost, got),
        "frames read as text": sum(max(0, n - frames_expected[w]) for w, n in got.items() if is_frame(w)),
        "glyph faults": len(glyph) - found_count(glyph, got),
        "other languages": len(foreign) - found_count(foreign, got),
    }
