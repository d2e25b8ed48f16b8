"""Accuracy against ground truth: character error rate over whitespace-
normalized text (order matters) and word recall (a multiset of words)."""

from collections import Counter


def normalize(text):
    return " ".join(text.split())


def edit_distance(a, b):
    if len(a) < len(b):
        a, b = b, a
    previous = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        current = [i]
        for j, cb in enumerate(b, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ca != cb)))
        previous = current
    return previous[-1]


def character_error_rate(truth, found):
    truth, found = normalize(truth), normalize(found)
    return edit_distance(truth, found) / max(1, len(truth))


def word_recall(truth, found):
    wanted = Counter(truth.split())
    got = Counter(found.split())
    return sum(min(n, got[w]) for w, n in wanted.items()) / max(1, sum(wanted.values()))
