# Converts a tree of recordings as N shares under snakemake, one job per share: job K
# runs `kinrec --shard K/N -r [selector]` in the tree, and the tables of all N jobs are
# byte for byte those of one `kinrec -r` there.
#
#   snakemake -s tools/kinrec.smk --cores 2 --keep-going -d /path/to/tree \
#       --config kinrec=build/kinrec shares=8 [alone=1] [selector='*.bin']
#
# -d makes snakemake work in the tree: the jobs run there, and snakemake keeps its
# records in the tree's .snakemake folder, this workflow's too (.snakemake/kinrec/).
# kinrec's walk reads only names ending in .csv and .bin, and nothing there does.
# kinrec (default: kinrec on the PATH) may be a path from the folder snakemake was
# started in. alone=1 passes --alone. --keep-going lets the other shares run when one
# fails; snakemake then exits 1, and running the same line again reruns the failed
# shares only, with the batch's plan still in the tree. When all shares have
# succeeded, their records are removed: the next run converts the tree afresh.

import os
import shlex
import shutil

from snakemake.exceptions import WorkflowError

MARKS = ".snakemake/kinrec"


def _kinrec():
    name = str(config.get("kinrec", "kinrec"))
    if "/" not in name:
        found = shutil.which(name)
        if not found:
            raise WorkflowError("kinrec=%s: there is no %s on the PATH; give its path, "
                                "--config kinrec=build/kinrec" % (name, name))
        return found
    if not os.path.isabs(name):
        # With -d snakemake has left the folder it was started in before reading this;
        # the shell that started it says which folder that was.
        start = os.environ.get("PWD")
        if not start or not os.path.isabs(start):
            raise WorkflowError("kinrec=%s: a relative path needs PWD, the folder snakemake "
                                "was started in; give an absolute path" % name)
        name = os.path.join(start, name)
    if not (os.path.isfile(name) and os.access(name, os.X_OK)):
        raise WorkflowError("kinrec=%s is not an executable file (a relative path is taken "
                            "from the folder snakemake was started in)"
                            % config.get("kinrec"))
    return os.path.normpath(name)


def _shares():
    text = str(config.get("shares", ""))
    if not text.isdigit() or int(text) < 1:
        raise WorkflowError("shares=%s: give the number of shares, a whole number from 1, "
                            "--config shares=8" % (text or "(none)"))
    return int(text)


def _alone():
    text = str(config.get("alone", "0"))
    if text not in ("0", "1"):
        raise WorkflowError("alone=%s: give alone=1 for kinrec --alone, or leave it out" % text)
    return text == "1"


KINREC = _kinrec()
SHARES = _shares()
OPTIONS = ["--alone"] if _alone() else []
SELECTOR = [str(config["selector"])] if config.get("selector") not in (None, "") else []

wildcard_constraints:
    k=r"[1-9][0-9]*",


rule all:
    input:
        expand(MARKS + "/share-{k}-of-%d.done" % SHARES, k=range(1, SHARES + 1)),


rule share:
    output:
        MARKS + "/share-{k}-of-%d.done" % SHARES,
    params:
        command=lambda w: shlex.join(
            [KINREC] + OPTIONS + ["--shard", "%s/%d" % (w.k, SHARES), "-r"] + SELECTOR),
    shell:
        "{params.command} && touch {output:q}"


onsuccess:
    shutil.rmtree(MARKS, ignore_errors=True)
