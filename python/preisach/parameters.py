"""The parameter record: the 24 values of a parameter file, by name."""

from . import _preisach

_FIELDS = _preisach.parameter_fields()
NAMES = tuple(f["name"] for f in _FIELDS)
UNITS = {f["name"]: f["unit"] for f in _FIELDS}
FITTABLE = tuple(f["name"] for f in _FIELDS if f["fittable"])

# The record of the repository's Magnetism/Parameters.txt.
DEFAULT_RECORD = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 50 0.01 y 100 300 y 300 3000 50 300 0.1 y\n"


class Parameters:
    """The values of a parameter file, read and checked as the program reads
    them. Fields by name (``p.hc0_mean``); ``replace`` gives a changed copy,
    checked again. Every value is the file's float32 (or integer, letter)."""

    __slots__ = ("_record",)

    def __init__(self, record=None):
        if record is None:
            record = _preisach.read_parameter_text("the default parameters", DEFAULT_RECORD)
        object.__setattr__(self, "_record", record)

    @classmethod
    def from_file(cls, path):
        """The record in force of a parameter file; ValueError with the
        reader's message (file, line, column) when it cannot be read."""
        return cls(_preisach.read_parameter_file(str(path)))

    @classmethod
    def from_text(cls, text, name="parameters"):
        return cls(_preisach.read_parameter_text(name, text))

    def to_file(self, path):
        """Writes the record so that it reads back bit for bit."""
        _preisach.write_parameter_file(self._record, str(path))

    def to_text(self):
        return self._record.format()

    def replace(self, **values):
        """A copy with some values changed, checked as the reader checks a file."""
        record = self._record.copy()
        for name, value in values.items():
            record.set(name, value)
        record.check_changed(list(values))
        return Parameters(_preisach.read_parameter_text("parameters", record.format()))

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        try:
            return self._record.get(name)
        except ValueError as error:
            raise AttributeError(str(error)) from None

    def __setattr__(self, name, value):
        raise AttributeError("Parameters are immutable: use replace(%s=...)" % name)

    def __getitem__(self, name):
        return self._record.get(name)

    def as_dict(self):
        return {name: self._record.get(name) for name in NAMES}

    def __eq__(self, other):
        return isinstance(other, Parameters) and self.to_text() == other.to_text()

    def __hash__(self):
        return hash(self.to_text())

    def __reduce__(self):
        return (Parameters.from_text, (self.to_text(),))

    def __repr__(self):
        return "Parameters(%s)" % ", ".join("%s=%r" % item for item in self.as_dict().items())

    def __dir__(self):
        return list(NAMES) + ["from_file", "to_file", "replace", "as_dict", "to_text"]
