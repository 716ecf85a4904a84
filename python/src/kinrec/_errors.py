"""The exception for files kinrec refuses and the warning for what a conversion met (kept
apart so the extension can raise them)."""


class FileRefusedError(OSError):
    """A file kinrec refuses for what it holds rather than for a system error: a kinrec
    table given as a recording, a file that is no dataset file (filetype 4), a file
    that is no kinrec table (read_table), or, for convert(), an output that is the input
    itself or a file other than a kinrec table.

    filename is the file, strerror the reason, errno None; str() is "<file>: <reason>",
    the console tool's message without its "kinrec: ".
    """

    def __init__(self, filename: str, reason: str) -> None:
        super().__init__(None, reason, filename)

    def __reduce__(self):  # type: ignore[no-untyped-def]
        return (type(self), (self.filename, self.strerror))

    def __str__(self) -> str:
        return f"{self.filename}: {self.strerror}"


class KinrecWarning(UserWarning):
    """What a conversion met that the console tool says on its standard error while still
    writing the table: a recording with no samples, lines that were skipped. The message
    is the console's line without its "kinrec: "."""
