from collections.abc import Buffer

import numpy as np
import numpy.typing as npt

def walsh_spectrum(table: Buffer, /) -> npt.NDArray[np.int64]: ...
def influence_counts(table: Buffer, /) -> npt.NDArray[np.int64]: ...
