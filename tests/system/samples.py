"""The recordings the sound harnesses make of the private sink's monitor."""
import array
import sys

RATE = 44100  # s16le, mono, as start_recording asks parec for


def read_samples(path):
    """The samples of a raw recording; a last odd byte (a recorder stopped mid-sample) is
    dropped."""
    samples = array.array("h")
    with open(path, "rb") as f:
        data = f.read()
    samples.frombytes(data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples
